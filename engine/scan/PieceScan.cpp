#include "scan/PieceScan.h"

#include "files/FileOps.h"
#include "scan/ScanLoops.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace cl {

namespace {

// A pattern is a marker (one or two bytes), a length byte and up to 255 bytes: a piece twice
// that size always has room for the bytes a piece leaves undecided and more.
constexpr std::size_t kSmallestPiece = 512;

std::unique_ptr<ScannedPiece> FreshPiece(std::unique_ptr<ScannedPiece> piece, std::size_t pieceSize)
{
    if (!piece)
        piece = std::make_unique<ScannedPiece>();
    if (piece->bytes.size() < pieceSize)
        piece->bytes.resize(pieceSize);
    piece->used = 0;
    piece->rows.clear();
    return piece;
}

// The suspicious rows of a class scan wait for the end of the file in pieces of their own, with
// copies of their bytes: the pieces they were found in are given away long before.
class WaitingRows {
public:
    explicit WaitingRows(std::size_t pieceSize) : pieceSize_(pieceSize) {}

    void Add(int32_t offset, std::string_view bytes)
    {
        if (pieces_.empty() || pieces_.back()->used + bytes.size() > pieceSize_)
            pieces_.push_back(FreshPiece(nullptr, pieceSize_));
        ScannedPiece& piece = *pieces_.back();
        std::memcpy(piece.bytes.data() + piece.used, bytes.data(), bytes.size());
        piece.rows.push_back(
            {offset, static_cast<uint32_t>(piece.used), static_cast<uint8_t>(bytes.size()), RowStatus::Suspicious});
        piece.used += bytes.size();
    }

    void GiveTo(PieceSink& sink)
    {
        for (std::unique_ptr<ScannedPiece>& piece : pieces_)
            sink.Take(std::move(piece));
        pieces_.clear();
    }

private:
    std::size_t pieceSize_;
    std::vector<std::unique_ptr<ScannedPiece>> pieces_;
};

}  // namespace

Status ScanFileInPieces(const std::string& path, ScanKind kind, const FilterList& filter, PieceSink& sink,
                        FileSystem& fs, std::size_t pieceSize)
{
    pieceSize = std::max(pieceSize, kSmallestPiece);
    Result<OpenedFile> file = OpenWholeFile(path, fs, OpenAccess::ReadOnly);
    if (!file)
        return std::move(file).error();
    PieceReader reader(std::move(*file));
    if (Status started = reader.Start(); !started)
        return started;

    const detail::SuspiciousWords words(filter);
    WaitingRows suspicious(pieceSize);
    // One pass per pattern looked at, each taking at least a byte: as in the whole-file scan,
    // the file's size bounds them.
    auto passesLeft = static_cast<int64_t>(reader.Size());
    std::unique_ptr<ScannedPiece> piece = FreshPiece(sink.Spare(), pieceSize);
    int64_t base = 0;  // where in the file the piece's first byte is
    bool rangeError = false;
    for (;;) {
            std::size_t done = 0;
            if (Status read = reader.Read(reinterpret_cast<uint8_t*>(piece->bytes.data()) + piece->used,
                                          pieceSize - piece->used, done);
                !read)
                return read;
            piece->used += done;
            const detail::ScanWindow window{reinterpret_cast<const uint8_t*>(piece->bytes.data()),
                                            static_cast<int64_t>(piece->used), reader.AtEnd()};
            ScannedPiece& here = *piece;
            auto found = [&](int64_t start, int64_t length, RowStatus status) {
                const int32_t offset = detail::OffsetOfString(base + start);
                if (status == RowStatus::Suspicious) {
                    suspicious.Add(offset, {here.bytes.data() + start, static_cast<std::size_t>(length)});
                } else {
                    here.rows.push_back(
                        {offset, static_cast<uint32_t>(start), static_cast<uint8_t>(length), RowStatus::Plain});
                }
            };
            const int64_t consumed = kind == ScanKind::Class
                                         ? detail::ScanWindowFor<true>(window, words, passesLeft, found)
                                         : detail::ScanWindowFor<false>(window, words, passesLeft, found);
            if (consumed == detail::kRangeErrorStop) {
                // A pattern cut short by the end of the file: the rows found before it are given.
                rangeError = true;
                break;
            }
            if (window.atEnd || passesLeft == 0)
                break;
            // The bytes not yet decided (at most one pattern's) start the next piece.
            std::unique_ptr<ScannedPiece> next = FreshPiece(sink.Spare(), pieceSize);
            next->used = piece->used - static_cast<std::size_t>(consumed);
            std::memcpy(next->bytes.data(), piece->bytes.data() + consumed, next->used);
            base += consumed;
            sink.Take(std::move(piece));
            piece = std::move(next);
    }
    sink.Take(std::move(piece));
    suspicious.GiveTo(sink);
    if (rangeError)
        return Error(ErrorKind::RangeError, path);
    return {};
}

}  // namespace cl
