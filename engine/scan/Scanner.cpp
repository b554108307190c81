#include "scan/Scanner.h"

#include "scan/ScanLoops.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

// The scans walk an offset over the image instead of cutting scanned bytes off the front of a
// working copy: the rows, offsets and errors are the same, and the cost is linear.

namespace cl {

int32_t FindZeroByte(const ByteString& bytes) noexcept
{
    const void* hit = std::memchr(bytes.Bytes(), 0, static_cast<size_t>(bytes.ByteLength()));
    return hit == nullptr ? 0 : static_cast<int32_t>(static_cast<const uint8_t*>(hit) - bytes.Bytes()) + 1;
}

namespace {

// Fills a list with rows that share the image instead of holding their captions.
class ListFiller {
public:
    // Room for as many rows as the image has `marker` bytes (and no more than a row can take,
    // four bytes each), which every row starts with: the list then never grows by copying
    // itself, which for a big image would briefly need twice its memory. Pages of the room
    // that no row uses are never touched.
    ListFiller(const FileImage& image, StringList& list, uint8_t marker) : image_(image.bytes), list_(list)
    {
        list_.Clear();
        const uint8_t* data = image_.Bytes();
        const auto markers = static_cast<size_t>(std::count(data, data + image_.ByteLength(), marker));
        list_.rows.reserve(std::min(markers, static_cast<size_t>(image_.ByteLength()) / 4 + 1));
    }
    void operator()(int32_t offset, std::string_view found, RowStatus status)
    {
        list_.rows.push_back(StringRow::Found(image_, static_cast<int32_t>(found.size()), status, offset));
        if (status == RowStatus::Plain)
            ++list_.PlainRowCount;
    }

private:
    const ByteString& image_;
    StringList& list_;
};

}  // namespace

Status ScanClassImage(const FileImage& image, const FilterList& filter, StringList& list)
{
    if (!detail::ClassScan(image, filter, ListFiller(image, list, 0x01)))
        return Error(ErrorKind::RangeError, image.path);
    return {};
}

Status ScanPackImage(const FileImage& image, const FilterList& /*filter*/, StringList& list)
{
    if (!detail::PackScan(image, ListFiller(image, list, 0x00)))
        return Error(ErrorKind::RangeError, image.path);
    return {};
}

}  // namespace cl
