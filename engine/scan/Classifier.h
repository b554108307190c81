#pragma once
// ClassifyString: decides whether a found candidate is listed, and whether it is suspicious.

#include "text/ByteString.h"
#include "scan/FilterList.h"

namespace cl {

enum class Classification { NotListed = 0, Suspicious = 1, Plain = 2 };

// Rejects one-byte strings, control bytes 0x00-0x08, descriptors, JDK package names,
// <init>/<clinit>, "StackMap" and the like; then looks the candidate up in the word list.
Classification ClassifyString(const ByteString& candidate, const FilterList& filter);

}  // namespace cl
