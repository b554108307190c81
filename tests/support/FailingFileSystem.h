#pragma once
// FailingFileSystem: the native file system with one chosen step made to fail (a refused
// create, a failed or half-done write, a failed flush, rename or read, a read that ends
// early), so that tests can check what each failure leaves behind on disk. It also notes the
// path each call concerned, so that a test can aim a failure at the calls made for one file.
// The chosen call can instead throw std::bad_alloc, as an allocation failing in the middle of
// the work would, for the front ends' handling of running out of memory.

#include "files/FileSystem.h"

#include <array>
#include <cstddef>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <vector>

namespace cltest {

enum class FailStep {
    OpenReadWrite,
    OpenRead,
    Create,     // creating the temporary file
    Write,      // the write fails and writes nothing
    HalfWrite,  // half of the data is written, then the write fails (disk full)
    Flush,      // fsync of the file
    CopyPermissions,
    Close,
    Rename,
    FlushFolder,
    Read,       // the read fails
    ShortRead,  // the read gives half the data, then the file seems to end
    Stat,
    ResolveLink,
    ListFolder,
    StatLink,
    ReadLink,
    MakeLink,
    MakeFolder,
    CreateTempFolder,
    CopyAttributes,
    kCount
};

// The step's name, for the messages of tests that fail each step in turn.
inline const char* StepName(FailStep step)
{
    switch (step) {
        case FailStep::OpenReadWrite: return "OpenReadWrite";
        case FailStep::OpenRead: return "OpenRead";
        case FailStep::Create: return "Create";
        case FailStep::Write: return "Write";
        case FailStep::HalfWrite: return "HalfWrite";
        case FailStep::Flush: return "Flush";
        case FailStep::CopyPermissions: return "CopyPermissions";
        case FailStep::Close: return "Close";
        case FailStep::Rename: return "Rename";
        case FailStep::FlushFolder: return "FlushFolder";
        case FailStep::Read: return "Read";
        case FailStep::ShortRead: return "ShortRead";
        case FailStep::Stat: return "Stat";
        case FailStep::ResolveLink: return "ResolveLink";
        case FailStep::ListFolder: return "ListFolder";
        case FailStep::StatLink: return "StatLink";
        case FailStep::ReadLink: return "ReadLink";
        case FailStep::MakeLink: return "MakeLink";
        case FailStep::MakeFolder: return "MakeFolder";
        case FailStep::CreateTempFolder: return "CreateTempFolder";
        case FailStep::CopyAttributes: return "CopyAttributes";
        case FailStep::kCount: break;
    }
    return "no step";
}

class FailingFileSystem : public cl::FileSystem {
public:
    explicit FailingFileSystem(cl::FileSystem& inner = cl::NativeFileSystem()) : inner_(inner) {}

    // The `occurrence`-th call (1-based) of `step` fails with `error`. Write and HalfWrite
    // count the same calls, as do Read and ShortRead.
    void FailAt(FailStep step, int occurrence = 1, std::errc error = std::errc::io_error)
    {
        step_ = step;
        occurrence_ = occurrence;
        error_ = std::make_error_code(error);
        outOfMemory_ = false;
    }
    // The `occurrence`-th call of `step` throws std::bad_alloc instead of failing.
    void RunOutOfMemoryAt(FailStep step, int occurrence = 1)
    {
        FailAt(step, occurrence);
        outOfMemory_ = true;
    }
    bool Injected() const { return injected_; }
    int Calls(FailStep step) const { return calls_[static_cast<std::size_t>(Counter(step))]; }
    // The path each call of `step` concerned, in call order (the k-th call's is element k-1). A
    // temporary file, and every call on its handle, is named by the file it is made for
    // (the folder and the name hint given); a rename by where it goes.
    const std::vector<std::string>& Paths(FailStep step) const
    {
        return paths_[static_cast<std::size_t>(Counter(step))];
    }

    std::unique_ptr<cl::FileHandle> OpenReadWrite(const std::string& path, std::error_code& ec) override
    {
        if (Hit(FailStep::OpenReadWrite, path))
            return Refuse(ec);
        return Wrap(inner_.OpenReadWrite(path, ec), path);
    }
    std::unique_ptr<cl::FileHandle> OpenRead(const std::string& path, std::error_code& ec) override
    {
        if (Hit(FailStep::OpenRead, path))
            return Refuse(ec);
        return Wrap(inner_.OpenRead(path, ec), path);
    }
    std::unique_ptr<cl::FileHandle> CreateTemp(const std::string& folder, const std::string& nameHint,
                                               std::string& tempPath, std::error_code& ec) override
    {
        const std::string intended = cl::JoinPath(folder, nameHint);
        if (Hit(FailStep::Create, intended))
            return Refuse(ec);
        return Wrap(inner_.CreateTemp(folder, nameHint, tempPath, ec), intended);
    }
    std::error_code Rename(const std::string& from, const std::string& to) override
    {
        if (Hit(FailStep::Rename, to))
            return error_;
        return inner_.Rename(from, to);
    }
    std::error_code Remove(const std::string& path) override { return inner_.Remove(path); }
    std::error_code FlushFolder(const std::string& folder) override
    {
        if (Hit(FailStep::FlushFolder, folder))
            return error_;
        return inner_.FlushFolder(folder);
    }
    std::error_code Stat(const std::string& path, cl::FileInfo& info) override
    {
        if (Hit(FailStep::Stat, path))
            return error_;
        return inner_.Stat(path, info);
    }
    std::error_code ResolveLink(const std::string& path, std::string& target) override
    {
        if (Hit(FailStep::ResolveLink, path))
            return error_;
        return inner_.ResolveLink(path, target);
    }
    std::error_code ListFolder(const std::string& path, std::vector<cl::FolderEntry>& entries) override
    {
        if (Hit(FailStep::ListFolder, path))
            return error_;
        return inner_.ListFolder(path, entries);
    }
    std::error_code StatLink(const std::string& path, cl::FileInfo& info) override
    {
        if (Hit(FailStep::StatLink, path))
            return error_;
        return inner_.StatLink(path, info);
    }
    std::error_code ReadLink(const std::string& path, std::string& target) override
    {
        if (Hit(FailStep::ReadLink, path))
            return error_;
        return inner_.ReadLink(path, target);
    }
    std::error_code MakeLink(const std::string& target, const std::string& path) override
    {
        if (Hit(FailStep::MakeLink, path))
            return error_;
        return inner_.MakeLink(target, path);
    }
    std::error_code MakeFolder(const std::string& path) override
    {
        if (Hit(FailStep::MakeFolder, path))
            return error_;
        return inner_.MakeFolder(path);
    }
    std::error_code CreateTempFolder(const std::string& folder, const std::string& nameHint,
                                     std::string& tempPath) override
    {
        if (Hit(FailStep::CreateTempFolder, cl::JoinPath(folder, nameHint)))
            return error_;
        return inner_.CreateTempFolder(folder, nameHint, tempPath);
    }
    std::error_code RemoveFolder(const std::string& path) override { return inner_.RemoveFolder(path); }
    std::error_code CopyAttributes(const cl::FileInfo& like, const std::string& path) override
    {
        if (Hit(FailStep::CopyAttributes, path))
            return error_;
        return inner_.CopyAttributes(like, path);
    }

private:
    class Handle final : public cl::FileHandle {
    public:
        Handle(FailingFileSystem& owner, std::unique_ptr<cl::FileHandle> inner, std::string path)
            : owner_(owner), inner_(std::move(inner)), path_(std::move(path))
        {
        }

        std::error_code Size(uint64_t& size) override { return inner_->Size(size); }

        std::error_code Read(void* buffer, std::size_t count, std::size_t& done) override
        {
            done = 0;
            if (ended_)
                return {};
            const bool hit = owner_.Hit(FailStep::Read, path_) || owner_.Hit(FailStep::ShortRead, path_);
            if (hit && owner_.step_ == FailStep::Read)
                return owner_.error_;
            if (hit) {
                ended_ = true;
                return inner_->Read(buffer, count / 2, done);
            }
            return inner_->Read(buffer, count, done);
        }

        std::error_code Write(const void* data, std::size_t count, std::size_t& done) override
        {
            done = 0;
            const bool hit = owner_.Hit(FailStep::Write, path_) || owner_.Hit(FailStep::HalfWrite, path_);
            if (hit && owner_.step_ == FailStep::HalfWrite && count / 2 > 0) {
                if (auto ec = inner_->Write(data, count / 2, done))
                    return ec;
            }
            if (hit)
                return owner_.error_;
            return inner_->Write(data, count, done);
        }

        std::error_code Flush() override
        {
            if (owner_.Hit(FailStep::Flush, path_))
                return owner_.error_;
            return inner_->Flush();
        }
        std::error_code CopyPermissions(const cl::FileInfo& like) override
        {
            if (owner_.Hit(FailStep::CopyPermissions, path_))
                return owner_.error_;
            return inner_->CopyPermissions(like);
        }
        std::error_code Close() override
        {
            // The file is closed either way; only the report differs.
            const std::error_code ec = inner_->Close();
            if (owner_.Hit(FailStep::Close, path_))
                return owner_.error_;
            return ec;
        }

    private:
        FailingFileSystem& owner_;
        std::unique_ptr<cl::FileHandle> inner_;
        std::string path_;
        bool ended_ = false;
    };

    static FailStep Counter(FailStep step)
    {
        if (step == FailStep::HalfWrite)
            return FailStep::Write;
        if (step == FailStep::ShortRead)
            return FailStep::Read;
        return step;
    }

    // Counts a call of `step`; true when this is the call chosen to fail. A Write (or Read)
    // call is counted once although it asks about both of its variants.
    bool Hit(FailStep step, const std::string& path)
    {
        const FailStep counter = Counter(step);
        if (step == counter) {
            ++calls_[static_cast<std::size_t>(counter)];
            paths_[static_cast<std::size_t>(counter)].push_back(path);
        }
        if (step_ != step)
            return false;
        if (calls_[static_cast<std::size_t>(counter)] != occurrence_)
            return false;
        injected_ = true;
        if (outOfMemory_)
            throw std::bad_alloc();
        return true;
    }

    std::unique_ptr<cl::FileHandle> Refuse(std::error_code& ec)
    {
        ec = error_;
        return nullptr;
    }
    std::unique_ptr<cl::FileHandle> Wrap(std::unique_ptr<cl::FileHandle> handle, const std::string& path)
    {
        if (!handle)
            return nullptr;
        return std::make_unique<Handle>(*this, std::move(handle), path);
    }

    cl::FileSystem& inner_;
    FailStep step_ = FailStep::kCount;
    int occurrence_ = 0;
    std::error_code error_;
    bool injected_ = false;
    bool outOfMemory_ = false;
    std::array<int, static_cast<std::size_t>(FailStep::kCount)> calls_{};
    std::array<std::vector<std::string>, static_cast<std::size_t>(FailStep::kCount)> paths_{};
};

}  // namespace cltest
