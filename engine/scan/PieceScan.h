#pragma once
// Scanning a file while it is read, a piece at a time, for a caller that uses each row once and
// keeps none (the command line printing a list): the file is never held whole, so a file of
// any size costs a few pieces of memory, and the bytes are scanned while they are still in the
// processor's cache. The rows, offsets and errors are those of ScanClassImage and ScanPackImage
// on the whole file.

#include "errors/Result.h"
#include "files/FileSystem.h"
#include "scan/FilterList.h"
#include "scan/StringList.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cl {

// Which scan a file gets.
enum class ScanKind { Class, LanguagePack };

// A row found in a piece: where its string's bytes are in the piece, and where in the file.
struct PieceRow {
    int32_t offset = 0;  // as StringRow::offset
    uint32_t start = 0;  // index of the string's first byte in ScannedPiece::bytes
    uint8_t length = 0;
    RowStatus status = RowStatus::Plain;
};

// Some of the file's bytes and the rows whose strings lie in them, the next ones in list order.
struct ScannedPiece {
    std::vector<char> bytes;  // as large as a piece; [0, used) hold bytes of the file
    std::size_t used = 0;
    std::vector<PieceRow> rows;

    std::string_view BytesOf(const PieceRow& row) const { return {bytes.data() + row.start, row.length}; }
};

// Receives the pieces of a scan in list order: plain rows in file order, then the suspicious
// ones. A piece may hold no rows.
class PieceSink {
public:
    virtual ~PieceSink() = default;
    virtual void Take(std::unique_ptr<ScannedPiece> piece) = 0;
    // A piece to fill next, such as one given back once its rows were used; null: a new one.
    virtual std::unique_ptr<ScannedPiece> Spare() { return nullptr; }
};

// Big enough that reading and handing over a piece cost little next to scanning it, small
// enough that a few stay in the processor's cache.
constexpr std::size_t kScanPieceSize = std::size_t{256} << 10;

// Opens `path` for reading only and scans it as it is read, giving `sink` the pieces as they are
// scanned. `pieceSize` is for tests; a pattern spans up to 258 bytes, so it is at least 512.
// Fails when opening or reading fails (the pieces taken before a read failed had rows of the
// file's first part; a file of one piece or less fails before any piece is given), and with a
// RangeError when a pattern is cut short by the end of the file (the rows found before it were
// given).
Status ScanFileInPieces(const std::string& path, ScanKind kind, const FilterList& filter, PieceSink& sink,
                                 FileSystem& fs = NativeFileSystem(), std::size_t pieceSize = kScanPieceSize);

}  // namespace cl
