#include "zip/ZipFault.h"

namespace cl::zip {

std::string_view ZipFaultName(ZipFault fault)
{
    switch (fault) {
        case ZipFault::None: return "no fault";
        case ZipFault::NoEndRecord: return "no end record";
        case ZipFault::SplitArchive: return "split archive";
        case ZipFault::Zip64Shape: return "unsupported Zip64 records";
        case ZipFault::CentralDirectoryOutsideFile: return "central directory outside the file";
        case ZipFault::BadCentralRecord: return "bad central directory record";
        case ZipFault::BadLocalHeader: return "bad local header";
        case ZipFault::Truncated: return "entry data cut short";
        case ZipFault::OverlappingEntries: return "overlapping entries";
        case ZipFault::UnsupportedMethod: return "unsupported compression method";
        case ZipFault::Encrypted: return "encrypted entry";
        case ZipFault::BadData: return "corrupt deflated data";
        case ZipFault::SizeMismatch: return "size differs from the stated size";
        case ZipFault::CrcMismatch: return "CRC mismatch";
        case ZipFault::TooLarge: return "entry too large";
        case ZipFault::BudgetSpent: return "archive read budget spent";
        case ZipFault::NoSuchEntry: return "no such entry";
        case ZipFault::NameTooLong: return "entry name too long";
        case ZipFault::NeedsZip64: return "archive would need Zip64 records";
    }
    return "unknown fault";
}

}  // namespace cl::zip
