#pragma once
// The two scans that find length-prefixed UTF-8 strings in raw bytes: the class-file scan
// (tag byte 0x01, zero high length byte, low length byte) and the language-pack scan (zero
// byte, length byte). Both run in time linear in the image size.

#include "errors/Result.h"
#include "text/ByteString.h"
#include "files/FileImage.h"
#include "scan/FilterList.h"
#include "scan/StringList.h"

#include <cstdint>
#include <string_view>

namespace cl {

// 1-based position of the first zero byte, 0 when there is none.
int32_t FindZeroByte(const ByteString& bytes) noexcept;

// Fill `list` (cleared first): plain strings in file order, then suspicious ones in file order.
// A pattern cut short by the end of the image is an error of kind RangeError; the rows found
// before it stay in the list.
Status ScanClassImage(const FileImage& image, const FilterList& filter, StringList& list);

// Every listed string is plain and kept in file order; a zero byte that is the last byte of
// the image is a RangeError, with the rows found before it kept.
Status ScanPackImage(const FileImage& image, const FilterList& filter, StringList& list);

}  // namespace cl
