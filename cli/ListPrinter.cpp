#include "ListPrinter.h"

#include "text/ByteWords.h"
#include "text/CodePage.h"

#include <system_error>
#include <utility>

namespace clcli {

namespace {

// Pieces waiting to be turned into text before the scan's thread helps, and pieces held in all
// (waiting, being turned into text, or waiting to be written) before the scan waits.
constexpr std::size_t kMostWaiting = 2;
constexpr std::size_t kMostHeld = 8;

// One row of a list: its offset, length and status, with the caption converted to UTF-8 when it
// is not plain ASCII (which is its own caption, in the code page and in UTF-8). One look at the
// bytes tells both that and whether any needs writing out.
void WriteFoundRow(ListWriter& writer, std::string& caption, const cl::PieceRow& row, std::string_view bytes)
{
    using namespace cl::bytewords;
    uint64_t high = 0;
    uint64_t special = 0;
    ForEachWord(bytes.data(), bytes.size(), [&](uint64_t x) {
        high |= x;
        special |= BytesBelow(x, '\r' + 1) | BytesEqual(x, '\\');
    });
    const auto length = static_cast<int32_t>(bytes.size());
    if ((high & kHigh) == 0) {
        if (special == 0)
            writer.PlainLine(row.offset, length, row.status, bytes);
        else
            writer.Line(row.offset, length, row.status, bytes);
        return;
    }
    if (special == 0 && writer.FoundTextLine(row.offset, row.status, bytes))
        return;
    caption.clear();
    cl::AppendCaptionAsUtf8(bytes, caption);
    writer.Line(row.offset, length, row.status, caption);
}

void WriteRows(ListWriter& writer, std::string& caption, const cl::ScannedPiece& piece)
{
    for (const cl::PieceRow& row : piece.rows)
        WriteFoundRow(writer, caption, row, piece.BytesOf(row));
}

}  // namespace

ListPrinter::ListPrinter(std::ostream& out) : out_(out)
{
    try {
        worker_ = std::thread([this] { Work(); });
    } catch (const std::system_error&) {
        // no thread to be had: Take prints each piece itself
        direct_.emplace(out_);
    }
}

ListPrinter::~ListPrinter()
{
    Stop();
}

std::unique_ptr<cl::ScannedPiece> ListPrinter::Spare()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (sparePieces_.empty())
        return nullptr;
    std::unique_ptr<cl::ScannedPiece> piece = std::move(sparePieces_.back());
    sparePieces_.pop_back();
    return piece;
}

void ListPrinter::Take(std::unique_ptr<cl::ScannedPiece> piece)
{
    if (!worker_.joinable()) {
        WriteRows(*direct_, caption_, *piece);
        std::lock_guard<std::mutex> lock(mutex_);
        sparePieces_.push_back(std::move(piece));
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (failed_) {  // the other thread has stopped: the rows go nowhere
            sparePieces_.push_back(std::move(piece));
            return;
        }
        std::unique_ptr<Batch> batch;
        if (spareBatches_.empty()) {
            batch = std::make_unique<Batch>();
        } else {
            batch = std::move(spareBatches_.back());
            spareBatches_.pop_back();
        }
        batch->piece = std::move(piece);
        queue_.push_back(std::move(batch));
    }
    changed_.notify_all();
    for (;;) {
        std::unique_lock<std::mutex> lock(mutex_);
        const std::size_t waiting = WaitingLocked();
        if (failed_ || (waiting <= kMostWaiting && queue_.size() <= kMostHeld))
            return;
        if (waiting > 0) {
            lock.unlock();
            FormatOldestWaiting();
        } else {
            changed_.wait(lock);  // every held piece is being turned into text or written
        }
    }
}

void ListPrinter::Finish()
{
    if (!worker_.joinable()) {
        direct_->Flush();
        return;
    }
    while (FormatOldestWaiting()) {
    }
    Stop();
    Complete(nullptr);  // anything finished but not yet written (nothing, normally)
    if (failure_)
        std::rethrow_exception(failure_);
}

std::size_t ListPrinter::WaitingLocked() const
{
    std::size_t waiting = 0;
    for (const auto& batch : queue_)
        waiting += batch->taken ? 0 : 1;
    return waiting;
}

// Takes the oldest batch nobody has taken and turns it into text; false when there is none.
bool ListPrinter::FormatOldestWaiting()
{
    Batch* batch = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& waiting : queue_) {
            if (!waiting->taken) {
                batch = waiting.get();
                batch->taken = true;
                break;
            }
        }
    }
    if (batch == nullptr)
        return false;
    batch->text.Clear();
    WriteRows(batch->text, caption_, *batch->piece);
    Complete(batch);
    return true;
}

// Marks `batch` (if any) finished and writes the finished batches at the front of the queue,
// unless another thread is writing them already: it looks at the front again when it is done.
void ListPrinter::Complete(Batch* batch)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (batch != nullptr)
        batch->done = true;
    while (!writing_ && !queue_.empty() && queue_.front()->done) {
        std::unique_ptr<Batch> front = std::move(queue_.front());
        queue_.pop_front();
        writing_ = true;
        lock.unlock();
        const std::string_view text = front->text.Text();
        out_.write(text.data(), static_cast<std::streamsize>(text.size()));
        front->taken = front->done = false;
        lock.lock();
        writing_ = false;
        sparePieces_.push_back(std::move(front->piece));
        spareBatches_.push_back(std::move(front));
        changed_.notify_all();
    }
}

void ListPrinter::Work()
{
    std::string caption;
    try {
        for (;;) {
            Batch* batch = nullptr;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] {
                    for (const auto& waiting : queue_) {
                        if (!waiting->taken) {
                            batch = waiting.get();
                            return true;
                        }
                    }
                    return stopping_;
                });
                if (batch == nullptr)
                    return;
                batch->taken = true;
            }
            batch->text.Clear();
            WriteRows(batch->text, caption, *batch->piece);
            Complete(batch);
        }
    } catch (...) {
        std::lock_guard<std::mutex> lock(mutex_);
        failure_ = std::current_exception();
        failed_ = true;
        changed_.notify_all();
    }
}

void ListPrinter::Stop()
{
    if (!worker_.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

}  // namespace clcli
