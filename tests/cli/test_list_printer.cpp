// The list printer on its own: lines in the order found however the work is shared between its
// threads, and only a few pieces held when the output is slower than the scan.

#include "CliFixture.h"
#include "ListPrinter.h"
#include "scan/PieceScan.h"

#include <chrono>
#include <sstream>
#include <streambuf>
#include <string>
#include <thread>

namespace {

using cltest::CliFixture;

// Output that takes its time over every write, as a slow pipe or terminal does.
class SlowOutput : public std::streambuf {
public:
    std::string text;

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        text.append(s, static_cast<std::size_t>(n));
        return n;
    }
    int_type overflow(int_type c) override
    {
        if (c != traits_type::eof())
            text.push_back(static_cast<char>(c));
        return c;
    }
};

// Passes the pieces on to the printer and counts the pieces the scan had to make anew because
// the printer had none to give back.
class CountingSink : public cl::PieceSink {
public:
    explicit CountingSink(clcli::ListPrinter& printer) : printer_(printer) {}
    void Take(std::unique_ptr<cl::ScannedPiece> piece) override { printer_.Take(std::move(piece)); }
    std::unique_ptr<cl::ScannedPiece> Spare() override
    {
        std::unique_ptr<cl::ScannedPiece> piece = printer_.Spare();
        if (!piece)
            ++made;
        return piece;
    }
    int made = 0;

private:
    clcli::ListPrinter& printer_;
};

class ListPrinterTest : public CliFixture {};

TEST_F(ListPrinterTest, SlowOutputHoldsFewPiecesAndLosesNoLine)
{
    std::string image;
    for (int i = 0; image.size() < 200000; ++i)
        image += std::string("\x01\x00", 2) + static_cast<char>(4 + i % 9) + std::string(4 + i % 9, 'a' + i % 26) + "zz";
    Write(Path("A.class"), image);
    Write(Path("words.ini"), "aaaaaaa\n");
    const cltest::CliRun expected = Run({"list", "--filter", Path("words.ini"), Path("A.class")});
    ASSERT_EQ(expected.status, 0) << expected.err;
    ASSERT_NE(expected.out.find("\t1\taaaaaaa\n"), std::string::npos) << "some suspicious rows at the end";

    SlowOutput slow;
    std::ostream out(&slow);
    constexpr std::size_t kPieceSize = 4096;  // some fifty pieces
    {
        clcli::ListPrinter printer(out);
        CountingSink sink(printer);
        const cl::Status result =
            cl::ScanFileInPieces(Path("A.class"), cl::ScanKind::Class, {cl::ByteString("aaaaaaa")}, sink,
                                 cl::NativeFileSystem(), kPieceSize);
        printer.Finish();
        ASSERT_TRUE(result.ok());
        EXPECT_LE(sink.made, 12) << "pieces are given back and reused instead of piling up";
    }
    EXPECT_EQ(slow.text, expected.out);
}

}  // namespace
