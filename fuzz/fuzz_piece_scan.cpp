// fuzz_piece_scan: scans an image as a file read a piece at a time, in pieces of a size chosen
// by the input (the smallest allowed upwards), and checks that the rows, their order, offsets,
// bytes and statuses, and the range error are those of the scan of the whole image; then that
// the caption written straight from the bytes, whenever it is written, is the two conversions.
//
// Input layout: byte 0 = flags (bit 0: language pack), byte 1 = piece size (512 + 3 x value),
// byte 2 = length k of the Filter.ini text that follows, k bytes of Filter.ini text, the image.

#include "text/ByteString.h"
#include "text/CodePage.h"
#include "text/ByteStringErrors.h"
#include "files/FileImage.h"
#include "scan/FilterList.h"
#include "scan/PieceScan.h"
#include "scan/Scanner.h"
#include "scan/StringList.h"
#include "text/Utf8.h"

#include "FuzzCheck.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>
#include <unistd.h>

namespace {

// One file for the whole run, rewritten for every input and removed at the end.
class ImageFile {
public:
    ImageFile()
    {
        char pattern[] = "/tmp/fuzz_piece_scan.XXXXXX";
        const int fd = mkstemp(pattern);
        CHECK(fd >= 0);
        close(fd);
        path_ = pattern;
    }
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;
    ~ImageFile() { std::remove(path_.c_str()); }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

const std::string& ImagePath()
{
    static const ImageFile file;
    return file.Path();
}

struct Row {
    int32_t offset;
    std::string bytes;
    cl::RowStatus status;
};

// Gives every other piece back, so that both fresh and reused pieces are filled.
class Collect : public cl::PieceSink {
public:
    void Take(std::unique_ptr<cl::ScannedPiece> piece) override
    {
        CHECK(piece->used <= piece->bytes.size());
        for (const cl::PieceRow& row : piece->rows) {
            CHECK(row.start + row.length <= piece->used);
            rows.push_back({row.offset, std::string(piece->BytesOf(row)), row.status});
        }
        if (++pieces % 2 == 0)
            spare_ = std::move(piece);
    }
    std::unique_ptr<cl::ScannedPiece> Spare() override { return std::move(spare_); }

    std::vector<Row> rows;
    int pieces = 0;

private:
    std::unique_ptr<cl::ScannedPiece> spare_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3 || size > (1 << 16))
        return 0;
    const bool pack = (data[0] & 1) != 0;
    const std::size_t pieceSize = 512 + 3 * std::size_t{data[1]};
    const size_t filterLength = std::min<size_t>(data[2], size - 3);
    const cl::FilterList filter = cl::SplitFilterLines(cl::ByteString(data + 3, static_cast<int32_t>(filterLength)));
    const size_t imageStart = 3 + filterLength;

    cl::FileImage image;
    image.bytes = cl::ByteString(data + imageStart, static_cast<int32_t>(size - imageStart));
    image.loadedSize = image.bytes.ByteLength();
    const auto scanWhole = pack ? cl::ScanPackImage : cl::ScanClassImage;
    cl::StringList list;
    const cl::Status scanned = scanWhole(image, filter, list);
    CHECK(scanned || scanned.error().kind == cl::ErrorKind::RangeError);
    const bool rangeError = !scanned;

    FILE* file = std::fopen(ImagePath().c_str(), "wb");
    CHECK(file != nullptr);
    CHECK(std::fwrite(data + imageStart, 1, size - imageStart, file) == size - imageStart);
    CHECK(std::fclose(file) == 0);
    Collect pieces;
    const cl::Status result = cl::ScanFileInPieces(
        ImagePath(), pack ? cl::ScanKind::LanguagePack : cl::ScanKind::Class, filter, pieces, cl::NativeFileSystem(),
        pieceSize);
    CHECK(result || result.error().kind == cl::ErrorKind::RangeError);
    CHECK(!result == rangeError);
    CHECK(pieces.rows.size() == list.rows.size());
    for (size_t i = 0; i < list.rows.size(); ++i) {
        const cl::StringRow& row = list.rows[i];
        CHECK(pieces.rows[i].offset == row.offset);
        CHECK(pieces.rows[i].bytes == row.FoundBytes());
        CHECK(pieces.rows[i].status == row.status);

        const std::string_view bytes = row.FoundBytes();
        std::string room(bytes.size(), '\0');
        if (const char* end = cl::TryWriteCaptionAsUtf8(room.data(), bytes)) {
            std::string twoConversions;
            cl::AppendCaptionAsUtf8(bytes, twoConversions);
            CHECK(std::string(static_cast<const char*>(room.data()), end) == twoConversions);
            CHECK(twoConversions == cl::Utf8FromAnsi(row.Caption()));
        }
    }
    return 0;
}
