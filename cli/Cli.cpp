// Argument handling and the three commands of classlingo-cli. Each command loads and scans
// the file exactly as the window does, so the list printed here is the window's list.

#include "Cli.h"

#include "ByteString.h"
#include "ByteWords.h"
#include "CodePage.h"
#include "Document.h"
#include "EngineErrors.h"
#include "Escape.h"
#include "ExecutableFolder.h"
#include "FileErrorText.h"
#include "FileOps.h"
#include "FileSystem.h"
#include "FilterList.h"
#include "ProgramCommands.h"
#include "Replace.h"
#include "RoleText.h"
#include "ScanLoops.h"
#include "Scanner.h"
#include "StringList.h"
#include "Utf8.h"

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <cstring>
#include <new>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace {

constexpr const char* kUsage =
    "用法：\n"
    "  classlingo-cli list [--pack] [--filter PATH] [--roles] FILE\n"
    "  classlingo-cli export [--pack] [--filter PATH] FILE OUT\n"
    "  classlingo-cli replace [--pack] [--filter PATH] [--no-backup] [--force] FILE INDEX TEXT [INDEX TEXT ...]\n"
    "  classlingo-cli --help\n"
    "\n"
    "  list      每个字符串一行：偏移<TAB>字节长度<TAB>状态<TAB>文本\n"
    "            （状态 1 为可疑，2 为普通；文本中的 \\ 制表符 回车 换行 零字节写作 \\\\ \\t \\r \\n \\0）\n"
    "  export    把字符串列表导出为 ANSI 文本文件 OUT，每行以 CR LF 结束\n"
    "  replace   把第 INDEX 行（从 0 开始，按 list 列出的顺序）替换为 TEXT（UTF-8），\n"
    "            然后保存；保存前原文件复制为 FILE.bak\n"
    "  --pack    按语言包文件扫描（默认按 class 文件扫描）；replace 时打开文件就先备份\n"
    "  --filter  从 PATH 读取词表（默认为程序所在文件夹中的 Filter.ini）\n"
    "  --no-backup  replace 时不做备份（无法创建 FILE.bak 时仍要保存）\n"
    "  --roles   list 时在每行末尾加第五个字段：该字符串在类文件中的角色\n"
    "            （literal key shared annotation name descriptor signature attribute other none；\n"
    "            语言包或无法解析的类文件为 -）\n"
    "  --force   replace 时也替换不是 literal 的行（none 行永远不替换）\n"
    "\n"
    "退出状态：0 完成；1 文件无法打开、读取或写入，或替换文本不能使用；2 用法错误；\n"
    "          3 扫描时出现 Range check error（之前找到的字符串照常列出或导出）\n";

constexpr const char* kCannotOpenText = "无法打开此文件!";
constexpr const char* kRangeErrorText = "Range check error.";
constexpr const char* kNoBackupHint = "如果不要备份也要保存，请加上 --no-backup。\n";

enum class Command { List, Export, Replace };

struct Options {
    Command command = Command::List;
    bool pack = false;
    bool noBackup = false;  // replace: save without a backup
    bool roles = false;     // list: a fifth field with the row's role
    bool force = false;     // replace: rows that are not literals too
    std::optional<std::string> filterPath;
    std::vector<std::string> positional;
};

struct Replacement {
    std::size_t index = 0;
    cl::ByteString text;  // ANSI
};

int UsageError(std::ostream& err, const std::string& why)
{
    if (!why.empty())
        err << why << "\n";
    err << kUsage;
    return kCliUsage;
}

// "00" to "99", for writing a number two digits at a time.
constexpr char kDigitPairs[] =
    "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243444546"
    "4748495051525354555657585960616263646566676869707172737475767778798081828384858687888990919293"
    "949596979899";

// The decimal text of the offsets of a listing. The offsets of a scan rise by a few bytes a row,
// so all but the last four digits mostly stay what they were: their text is kept, and only the
// last four are written anew, two at a time from a table.
class OffsetText {
public:
    // Writes `value` at p and returns the end; sixteen bytes of room are needed.
    char* Write(char* p, int32_t value)
    {
        if (value < 10000)
            return std::to_chars(p, p + 12, value).ptr;
        const auto v = static_cast<uint32_t>(value);
        const uint32_t high = v / 10000;
        const uint32_t low = v % 10000;
        if (high != high_) {
            high_ = high;
            highSize_ = static_cast<std::size_t>(std::to_chars(highText_, highText_ + 8, high).ptr - highText_);
        }
        std::memcpy(p, highText_, 8);  // whole, and cut to size by the returned end
        p += highSize_;
        std::memcpy(p, kDigitPairs + 2 * (low / 100), 2);
        std::memcpy(p + 2, kDigitPairs + 2 * (low % 100), 2);
        return p + 4;
    }

private:
    uint32_t high_ = UINT32_MAX;  // no offset has this many ten thousands
    char highText_[8] = {};       // at most six digits
    std::size_t highSize_ = 0;
};

// The byte lengths a found string can have, each with its tab, four bytes to copy at once.
struct LengthTexts {
    char text[256][4] = {};
    uint8_t size[256] = {};
    constexpr LengthTexts()
    {
        for (int n = 0; n < 256; ++n) {
            int k = 0;
            if (n >= 100)
                text[n][k++] = static_cast<char>('0' + n / 100);
            if (n >= 10)
                text[n][k++] = static_cast<char>('0' + n / 10 % 10);
            text[n][k++] = static_cast<char>('0' + n % 10);
            text[n][k++] = '\t';
            size[n] = static_cast<uint8_t>(k);
        }
    }
};
constexpr LengthTexts kLengthTexts;

// The lines of `list`, gathered in one buffer that is written in large pieces rather than with
// a stream call per field: a listing of millions of rows is mostly this.
class ListWriter {
public:
    explicit ListWriter(std::ostream& out) : out_(&out), buffer_(kBufferSize, '\0') {}
    // Lines kept, for whoever takes Text(), instead of written to a stream.
    ListWriter() = default;

    // offset<TAB>byteLength<TAB>status<TAB>caption[<TAB>role]<LF>, with backslash, tab, CR, LF
    // and zero in the caption written out, so that one row stays one line.
    void Line(int32_t offset, int32_t byteLength, cl::RowStatus status, std::string_view caption,
              const char* role = nullptr)
    {
        const std::string_view roleWord = role == nullptr ? std::string_view() : std::string_view(role);
        char* p = Head(Room(48 + 2 * caption.size() + roleWord.size()), offset, byteLength, status);
        p = clcli::AppendEscaped(p, caption);
        if (role != nullptr) {
            *p++ = '\t';
            p = std::copy(roleWord.begin(), roleWord.end(), p);
        }
        *p++ = '\n';
        used_ = static_cast<std::size_t>(p - buffer_.data());
    }

    // The same line for a caption known to hold no byte that needs writing out, and no role.
    void PlainLine(int32_t offset, int32_t byteLength, cl::RowStatus status, std::string_view caption)
    {
        char* p = Head(Room(48 + caption.size()), offset, byteLength, status);
        cl::bytewords::CopyWords(p, caption.data(), caption.size());
        p += caption.size();
        *p++ = '\n';
        used_ = static_cast<std::size_t>(p - buffer_.data());
    }

    void Flush()
    {
        if (out_ != nullptr)
            out_->write(buffer_.data(), static_cast<std::streamsize>(used_));
        used_ = 0;
    }

    // The lines not yet written; Clear() forgets them.
    std::string_view Text() const { return {buffer_.data(), used_}; }
    void Clear() { used_ = 0; }

private:
    // Where `most` more bytes fit: after the lines so far, written out first if there is a stream.
    char* Room(std::size_t most)
    {
        if (used_ + most > buffer_.size()) {
            if (out_ != nullptr)
                Flush();
            if (used_ + most > buffer_.size())
                buffer_.resize(std::max(2 * buffer_.size(), used_ + most));
        }
        return buffer_.data() + used_;
    }

    // offset<TAB>byteLength<TAB>status<TAB> at p; returns the end. Room for 32 bytes is needed.
    char* Head(char* p, int32_t offset, int32_t byteLength, cl::RowStatus status)
    {
        p = offsetText_.Write(p, offset);
        *p++ = '\t';
        if (byteLength >= 0 && byteLength < 256) {
            std::memcpy(p, kLengthTexts.text[byteLength], 4);
            p += kLengthTexts.size[byteLength];
        } else {
            p = std::to_chars(p, p + 12, byteLength).ptr;
            *p++ = '\t';
        }
        *p++ = status == cl::RowStatus::Suspicious ? '1' : '2';
        *p++ = '\t';
        return p;
    }

    static constexpr std::size_t kBufferSize = std::size_t{1} << 20;
    std::ostream* out_ = nullptr;
    std::string buffer_;
    std::size_t used_ = 0;
    OffsetText offsetText_;
};

// Decimal digits only: no sign, no spaces, no hexadecimal.
std::optional<std::size_t> ParseIndex(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    std::size_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.front() == '+' || text.front() == '-') {
        return std::nullopt;
    }
    return value;
}

// Reports a failed open the way the window does, followed by the reason.
int ReportFileError(std::ostream& err, const cl::FileError& error)
{
    if (error.kind == cl::FileError::Kind::CannotOpen)
        err << kCannotOpenText << "\n";
    err << cltext::DescribeFileError(error) << "\n";
    return kCliFileError;
}

struct Loaded {
    cl::Document document;
    cl::FilterList filter;
    bool rangeError = false;
};

// Loads the word list and opens the file as the window does. Returns an exit status on failure.
std::optional<int> Load(const Options& options, const char* argv0, cl::OpenAccess access, cl::FileSystem& fs,
                        std::ostream& err, Loaded& loaded, bool keepRows = true)
{
    cl::FilterList filter;
    if (options.filterPath) {
        cl::ByteString text;
        if (auto error = cl::ReadFileContents(*options.filterPath, text, fs)) {
            err << "无法读取词表：" << cltext::DescribeFileError(*error) << "\n";
            return kCliFileError;
        }
        filter = cl::SplitFilterLines(text);
    } else {
        try {
            filter = cl::LoadFilterList(clcli::ExecutableFolder(argv0));
        } catch (const cl::CannotOpenFile& e) {
            err << e.what() << "\n";
            return kCliFileError;
        }
    }

    cl::OpenRequest request;
    request.path = options.positional.front();
    request.kind = options.pack ? cl::DocumentKind::LanguagePack : cl::DocumentKind::Class;
    request.access = access;
    request.backupAtOpening = !options.noBackup;
    request.keepRows = keepRows;
    auto opened = cl::Document::Open(request, filter, fs);
    if (const auto* error = std::get_if<cl::FileError>(&opened))
        return ReportFileError(err, *error);
    auto& result = std::get<cl::OpenedDocument>(opened);
    // A language pack opened for changing is backed up at once; without that copy nothing
    // is changed, unless the user said to go on without one.
    if (result.backupError) {
        ReportFileError(err, *result.backupError);
        err << kNoBackupHint;
        return kCliFileError;
    }
    loaded.document = std::move(result.document);
    loaded.filter = std::move(filter);
    loaded.rangeError = result.rangeError;
    return std::nullopt;
}

// One row of a list: its offset, length and status, with the caption converted to UTF-8 when it
// is not plain ASCII (which is its own caption, in the code page and in UTF-8). One look at the
// bytes tells both that and whether any needs writing out.
void WriteFoundRow(ListWriter& writer, std::string& caption, int32_t offset, std::string_view bytes,
                   cl::RowStatus status)
{
    using namespace cl::bytewords;
    uint64_t high = 0;
    uint64_t special = 0;
    ForEachWord(bytes.data(), bytes.size(), [&](uint64_t x) {
        high |= x;
        special |= BytesBelow(x, '\r' + 1) | BytesEqual(x, '\\');
    });
    if ((high & kHigh) == 0) {
        if (special == 0)
            writer.PlainLine(offset, static_cast<int32_t>(bytes.size()), status, bytes);
        else
            writer.Line(offset, static_cast<int32_t>(bytes.size()), status, bytes);
        return;
    }
    caption.clear();
    cl::AppendCaptionAsUtf8(bytes, caption);
    writer.Line(offset, static_cast<int32_t>(bytes.size()), status, caption);
}

// Prints the rows found by a scan with two threads: the scan notes where each row is, in
// batches, and a second thread turns the batches into text; when it falls behind, the scan's
// thread turns the oldest waiting batch into text itself. Whoever finishes a batch writes the
// finished ones at the front, one writer at a time, so the lines come out in the order found.
// The scan itself cannot be split (a string may start anywhere, so where one ends decides where
// the next is looked for), but turning rows into text, which costs more, is shared. Without a
// second thread the rows are printed on the scan's thread as they come.
class ListSink final : public cl::RowSink {
public:
    ListSink(ListWriter& writer, std::ostream& out) : writer_(writer), out_(out)
    {
        filling_ = std::make_unique<Batch>();
        filling_->rows.reserve(kBatchRows);
        try {
            worker_ = std::thread([this] { Work(); });
        } catch (const std::system_error&) {
            // no thread to be had: Row prints each row itself
        }
    }
    ListSink(const ListSink&) = delete;
    ListSink& operator=(const ListSink&) = delete;
    ~ListSink() override { Stop(); }

    void Row(int32_t offset, std::string_view bytes, cl::RowStatus status) override
    {
        if (!worker_.joinable()) {
            WriteFoundRow(writer_, caption_, offset, bytes, status);
            return;
        }
        const uint32_t suspicious = status == cl::RowStatus::Suspicious ? kSuspiciousBit : 0;
        filling_->rows.push_back({bytes.data(), offset, static_cast<uint32_t>(bytes.size()) | suspicious});
        if (filling_->rows.size() == kBatchRows)
            Hand();
    }

    // Waits until every row has been written out; rethrows what went wrong on the other thread.
    void Finish()
    {
        if (!worker_.joinable())
            return;
        if (!filling_->rows.empty())
            Hand();
        while (FormatOldestWaiting()) {
        }
        Stop();
        Complete(nullptr);  // anything finished but not yet written (nothing, normally)
        if (failure_)
            std::rethrow_exception(failure_);
    }

private:
    // Sixteen bytes a row: the status rides in the top bit of the length, which the length of a
    // string in an image (whose size fits an int32_t) never uses.
    struct Pending {
        const char* bytes;
        int32_t offset;
        uint32_t lengthAndStatus;
    };
    static constexpr uint32_t kSuspiciousBit = uint32_t{1} << 31;
    struct Batch {
        std::vector<Pending> rows;
        ListWriter text;  // the rows' lines, once taken
        bool taken = false;
        bool done = false;
    };
    // Batches small enough that the two threads start together and that the few in flight cost
    // little memory next to the image, large enough that handing one over costs nothing.
    static constexpr std::size_t kBatchRows = 16384;
    static constexpr std::size_t kMostWaiting = 2;

    // Queues the filled batch; when the other thread is behind, formats the oldest waiting one.
    void Hand()
    {
        std::size_t waiting = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (failed_) {  // the other thread has stopped: the rows go nowhere
                filling_->rows.clear();
                return;
            }
            queue_.push_back(std::move(filling_));
            for (const auto& batch : queue_)
                waiting += batch->taken ? 0 : 1;
            if (!spare_.empty()) {
                filling_ = std::move(spare_.back());
                spare_.pop_back();
            }
        }
        changed_.notify_all();
        if (!filling_) {
            filling_ = std::make_unique<Batch>();
            filling_->rows.reserve(kBatchRows);
        }
        if (waiting > kMostWaiting)
            FormatOldestWaiting();
    }

    // Takes the oldest batch nobody has taken and formats it; false when there is none.
    bool FormatOldestWaiting()
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
        Format(*batch, caption_);
        Complete(batch);
        return true;
    }

    static void Format(Batch& batch, std::string& caption)
    {
        batch.text.Clear();
        for (const Pending& row : batch.rows) {
            const std::size_t length = row.lengthAndStatus & ~kSuspiciousBit;
            const cl::RowStatus status =
                (row.lengthAndStatus & kSuspiciousBit) != 0 ? cl::RowStatus::Suspicious : cl::RowStatus::Plain;
            WriteFoundRow(batch.text, caption, row.offset, std::string_view(row.bytes, length), status);
        }
    }

    // Marks `batch` (if any) finished and writes the finished batches at the front of the queue,
    // unless another thread is writing them already: it looks at the front again when it is done.
    void Complete(Batch* batch)
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
            front->rows.clear();
            front->taken = front->done = false;
            lock.lock();
            writing_ = false;
            spare_.push_back(std::move(front));
        }
    }

    void Work()
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
                Format(*batch, caption);
                Complete(batch);
            }
        } catch (...) {
            std::lock_guard<std::mutex> lock(mutex_);
            failure_ = std::current_exception();
            failed_ = true;
        }
    }

    void Stop()
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

    ListWriter& writer_;   // for rows printed on the scan's thread
    std::ostream& out_;    // for batches
    std::string caption_;  // the scan's thread's
    std::unique_ptr<Batch> filling_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<Batch>> queue_;  // in the order found, until written
    std::vector<std::unique_ptr<Batch>> spare_;
    bool writing_ = false;
    bool stopping_ = false;
    bool failed_ = false;
    std::exception_ptr failure_;
    std::thread worker_;  // last: started once everything it uses exists
};

int RunList(const Options& options, const char* argv0, cl::FileSystem& fs, std::ostream& out, std::ostream& err)
{
    // Without roles nothing needs a row once it is printed: the rows are streamed from the scan
    // instead of kept, and only the suspicious ones wait (as offset and length) for the end.
    Loaded loaded;
    if (auto status = Load(options, argv0, cl::OpenAccess::ReadOnly, fs, err, loaded, options.roles))
        return *status;
    const cl::Document& document = loaded.document;
    ListWriter writer(out);
    if (options.roles) {
        const std::vector<cl::StringRow>& rows = document.Rows().rows;
        std::string caption;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const cl::StringRow& row = rows[i];
            caption.clear();
            if (row.IsFound())
                cl::AppendCaptionAsUtf8(row.FoundBytes(), caption);
            else
                caption = cl::Utf8FromAnsi(row.Caption());
            const std::optional<cl::classfile::Role> role = document.RoleOfRow(i);
            writer.Line(row.offset, row.byteLength, row.status, caption, role ? cl::classfile::RoleWord(*role) : "-");
        }
    } else {
        ListSink sink(writer, out);
        try {
            // The scan loops themselves, so that each row reaches the sink without a call
            // through a pointer.
            auto row = [&](int32_t offset, std::string_view found, cl::RowStatus status) {
                sink.Row(offset, found, status);
            };
            if (options.pack)
                cl::detail::PackScan(document.Image(), row);
            else
                cl::detail::ClassScan(document.Image(), loaded.filter, row);
        } catch (const cl::RangeError&) {
            // A pattern cut short by the end of the file: the rows found before it are printed.
            loaded.rangeError = true;
        }
        sink.Finish();
    }
    writer.Flush();
    out.flush();
    if (loaded.rangeError) {
        err << kRangeErrorText << "\n";
        return kCliRangeError;
    }
    return kCliDone;
}

int RunExport(const Options& options, const char* argv0, cl::FileSystem& fs, std::ostream& err)
{
    Loaded loaded;
    if (auto status = Load(options, argv0, cl::OpenAccess::ReadOnly, fs, err, loaded))
        return *status;
    // As in the window, the rows found before a range error can still be exported.
    if (auto error = loaded.document.Export(options.positional[1], fs)) {
        err << cltext::DescribeFileError(*error) << "\n";
        return kCliFileError;
    }
    if (loaded.rangeError) {
        err << kRangeErrorText << "\n";
        return kCliRangeError;
    }
    return kCliDone;
}

int RunReplace(const Options& options, const char* argv0, cl::FileSystem& fs, std::ostream& err)
{
    // Everything that can be checked without the file is checked before it is opened, since
    // opening a language pack already writes its backup.
    std::vector<Replacement> replacements;
    for (std::size_t i = 1; i + 1 < options.positional.size(); i += 2) {
        const std::string& indexText = options.positional[i];
        const std::string& utf8 = options.positional[i + 1];
        const std::optional<std::size_t> index = ParseIndex(indexText);
        if (!index)
            return UsageError(err, "INDEX 不是行号：" + indexText);
        if (utf8.empty())
            return UsageError(err, "第 " + indexText + " 行的替换文本为空");
        cl::ByteString ansi = cl::AnsiFromUtf8(utf8);
        // A character the ANSI code page lacks would be written as '?' without notice.
        if (cl::Utf8FromAnsi(ansi) != utf8) {
            err << "替换文本“" << utf8 << "”不是有效的 UTF-8，或含有 ANSI 代码页无法表示的字符，不能替换。\n";
            return kCliFileError;
        }
        if (cl::EncodeUtf8FromAnsi(ansi).ByteLength() > 255) {
            err << cl::kReplacementTooLongText << "\n";
            return kCliFileError;
        }
        replacements.push_back({*index, std::move(ansi)});
    }

    Loaded loaded;
    if (auto status = Load(options, argv0, cl::OpenAccess::ReadWrite, fs, err, loaded))
        return *status;
    if (loaded.rangeError) {
        err << kRangeErrorText << "\n";
        return kCliRangeError;
    }
    cl::Document& document = loaded.document;
    for (const Replacement& r : replacements) {
        if (r.index >= document.Rows().rows.size()) {
            return UsageError(err, "INDEX " + std::to_string(r.index) + " 超出范围：列表共有 " +
                                       std::to_string(document.Rows().rows.size()) + " 行");
        }
    }

    // Rows that are not plain string constants are refused before anything is written: one
    // refused row refuses the whole command.
    for (const Replacement& r : replacements) {
        const std::optional<cl::classfile::Role> role = document.RoleOfRow(r.index);
        if (!role || *role == cl::classfile::Role::Literal)
            continue;
        if (*role == cl::classfile::Role::None) {
            err << "INDEX " << r.index << ": not a constant-pool string: replacing it would corrupt the class\n";
            return kCliFileError;
        }
        if (!options.force) {
            err << "INDEX " << r.index << " 是 " << cl::classfile::RoleWord(*role) << "（" << cltext::RoleName(*role)
                << "）：" << cltext::RoleConsequence(*role) << "如确要替换，请加上 --force。\n";
            return kCliFileError;
        }
    }
    for (const Replacement& r : replacements) {
        if (document.Replace(static_cast<int>(r.index), r.text) == cl::ReplaceOutcome::TooLong) {
            err << cl::kReplacementTooLongText << "\n";
            return kCliFileError;
        }
    }
    const cl::SaveBackup backup = options.noBackup ? cl::SaveBackup::Skip : cl::SaveBackup::Make;
    if (auto error = document.Save(backup, fs)) {
        err << cltext::DescribeFileError(*error) << "\n";
        if (error->IsBackupFailure())
            err << kNoBackupHint;
        return kCliFileError;
    }
    return kCliDone;
}

int RunCommand(const Options& options, const char* argv0, cl::FileSystem& fs, std::ostream& out, std::ostream& err)
{
    switch (options.command) {
        case Command::List:
            if (options.positional.size() != 1)
                return UsageError(err, "list 需要一个 FILE");
            return RunList(options, argv0, fs, out, err);
        case Command::Export:
            if (options.positional.size() != 2)
                return UsageError(err, "export 需要 FILE 和 OUT");
            return RunExport(options, argv0, fs, err);
        case Command::Replace:
            if (options.positional.size() < 3 || options.positional.size() % 2 == 0) {
                return UsageError(err, "replace 需要 FILE 以及成对的 INDEX TEXT");
            }
            return RunReplace(options, argv0, fs, err);
    }
    return UsageError(err, "");
}

}  // namespace

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err)
{
    return RunCli(argc, argv, out, err, cl::NativeFileSystem());
}

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err, cl::FileSystem& fs)
{
    const char* argv0 = argc > 0 ? argv[0] : nullptr;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    if (args.empty())
        return UsageError(err, "");
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        out << kUsage << "\n" << kProgramUsage;
        return kCliDone;
    }
    if (IsProgramCommand(args[0]))
        return RunProgramCommand(args, out, err, fs);

    Options options;
    if (args[0] == "list") {
        options.command = Command::List;
    } else if (args[0] == "export") {
        options.command = Command::Export;
    } else if (args[0] == "replace") {
        options.command = Command::Replace;
    } else {
        return UsageError(err, "未知的命令：" + args[0]);
    }

    // Options come before the first FILE; "--" ends them, so that a file may start with "--".
    std::size_t i = 1;
    for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
        if (args[i] == "--") {
            ++i;
            break;
        }
        if (args[i] == "--pack") {
            options.pack = true;
        } else if (args[i] == "--no-backup" && options.command == Command::Replace) {
            options.noBackup = true;
        } else if (args[i] == "--force" && options.command == Command::Replace) {
            options.force = true;
        } else if (args[i] == "--roles" && options.command == Command::List) {
            options.roles = true;
        } else if (args[i] == "--filter") {
            if (i + 1 >= args.size())
                return UsageError(err, "--filter 后面缺少 PATH");
            options.filterPath = args[++i];
        } else if (args[i] == "--help") {
            out << kUsage << "\n" << kProgramUsage;
            return kCliDone;
        } else {
            return UsageError(err, "未知的选项：" + args[i]);
        }
    }
    options.positional.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());

    try {
        return RunCommand(options, argv0, fs, out, err);
    } catch (const cl::OutOfMemory& e) {
        // Files are only ever replaced whole, so running out of memory loses nothing on disk.
        err << e.what() << "\n";
        return kCliFileError;
    } catch (const std::bad_alloc&) {
        err << cl::OutOfMemory().what() << "\n";
        return kCliFileError;
    }
}
