#pragma once
// ListPrinter: prints the pieces of a file scanned as it is read (ScanFileInPieces) as the lines
// of `list`, in the order found, turning rows into text on two threads.

#include "ListWriter.h"
#include "scan/PieceScan.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace clcli {

// The scan's thread hands over each piece as it is scanned and a second thread turns its rows
// into text; when that one falls behind, the scan's thread turns the oldest waiting piece into
// text itself. Whoever finishes a piece writes the finished ones at the front of the queue, one
// writer at a time, so the lines come out in the order found. The scan itself cannot be split
// (a string may start anywhere, so where one ends decides where the next is looked for), but
// turning rows into text, which costs more, is shared. When the output takes the lines slower
// than they are made, the scan waits, so that only a few pieces are ever held. Without a second
// thread the rows are printed on the scan's thread as they come.
class ListPrinter final : public cl::PieceSink {
public:
    explicit ListPrinter(std::ostream& out);
    ListPrinter(const ListPrinter&) = delete;
    ListPrinter& operator=(const ListPrinter&) = delete;
    ~ListPrinter() override;

    void Take(std::unique_ptr<cl::ScannedPiece> piece) override;
    std::unique_ptr<cl::ScannedPiece> Spare() override;

    // Waits until every line has been written out; rethrows what went wrong on the other thread.
    void Finish();

private:
    struct Batch {
        std::unique_ptr<cl::ScannedPiece> piece;
        ListWriter text;  // the piece's lines, once taken
        bool taken = false;
        bool done = false;
    };

    std::size_t WaitingLocked() const;
    bool FormatOldestWaiting();
    void Complete(Batch* batch);
    void Work();
    void Stop();

    std::ostream& out_;
    std::optional<ListWriter> direct_;  // for rows printed on the scan's thread when there is no second one
    std::string caption_;  // the scan's thread's
    std::mutex mutex_;
    std::condition_variable changed_;  // a batch queued or written, or the end
    std::deque<std::unique_ptr<Batch>> queue_;  // in the order found, until written
    std::vector<std::unique_ptr<Batch>> spareBatches_;
    std::vector<std::unique_ptr<cl::ScannedPiece>> sparePieces_;
    bool writing_ = false;
    bool stopping_ = false;
    bool failed_ = false;
    std::exception_ptr failure_;
    std::thread worker_;  // last: started once everything it uses exists
};

}  // namespace clcli
