// fuzz_zip: the archive reader and writer on arbitrary bytes. Checks that every span of a
// layout that reads lies inside the input, that the entries in the file's order never share
// bytes, that no change gives the input back, that no entry is ever read past the limit, and
// that an archive with a replaced and an added entry that opens again reads back both.

#include "zip/JarArchive.h"
#include "zip/ZipLayout.h"

#include "FuzzCheck.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr uint64_t kLimit = 1 << 20;

void CheckLayout(const cl::zip::ZipLayout& layout, uint64_t size)
{
    auto inside = [&](const cl::zip::Span& span) { return span.offset <= size && span.length <= size - span.offset; };
    CHECK(inside(layout.prefix) && layout.prefix.offset == 0);
    CHECK(inside(layout.directory) && inside(layout.tail) && inside(layout.end) && inside(layout.comment));
    CHECK(layout.tail.offset == layout.directory.End() && layout.tail.End() == size);
    CHECK(layout.fileOrder.size() == layout.entries.size());
    uint64_t next = layout.prefix.End();
    for (const std::size_t i : layout.fileOrder) {
        const cl::zip::EntryLayout& e = layout.entries[i];
        CHECK(e.local.offset == next);
        CHECK(inside(e.local) && inside(e.data) && inside(e.gap));
        CHECK(e.data.offset == e.local.End());
        CHECK(e.gap.offset == (e.descriptor.length ? e.descriptor.End() : e.data.End()));
        next = e.gap.End();
    }
    CHECK(next == layout.directory.offset);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const auto layout = cl::zip::ReadZipLayout(input);
    if (layout)
        CheckLayout(*layout, size);
    auto opened = cl::zip::JarArchive::Open(input);
    CHECK(opened.ok() == layout.ok());
    if (!opened)
        return 0;
    cl::zip::JarArchive& jar = **opened;
    std::vector<uint64_t> all;
    for (const auto& entry : jar.Entries())
        all.push_back(entry.index);
    const auto contents = jar.ReadMany(all, kLimit);
    for (const auto& read : contents) {
        if (read)
            CHECK(read->size() <= kLimit);
    }
    const auto unchanged = jar.Finish();
    CHECK(unchanged && *unchanged == input);
    if (all.empty())
        return 0;
    const bool replaced = jar.Replace(all[0], "fuzz").ok();
    const auto added = jar.AddAfter(all.back(), "added", true, "added bytes");
    CHECK(added);
    const auto written = jar.Finish();
    if (!written)
        return 0;
    auto again = cl::zip::JarArchive::Open(*written);
    // A stray end record in moved data can make a rewrite read differently; what opens must
    // hold what was written.
    if (!again || (*again)->Entries().size() != all.size() + 1)
        return 0;
    if (replaced) {
        const auto first = (*again)->Read(0, kLimit);
        CHECK(first && *first == "fuzz");
    }
    const auto last = (*again)->Read(all.size(), kLimit);
    CHECK(last && *last == "added bytes");
    return 0;
}
