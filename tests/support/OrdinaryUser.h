#pragma once
// OrdinaryUser: runs a piece of a test with the rights of an ordinary user, so that files
// without read or write permission really refuse. Tests usually run as root, who may open
// anything; then the effective ids switch to "nobody" for the piece and back afterwards.

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

#include <string>

namespace cltest {

class OrdinaryUser {
public:
    OrdinaryUser()
    {
        if (::getuid() != 0) {
            available_ = true;
            uid_ = ::geteuid();
            gid_ = ::getegid();
            return;
        }
        if (const passwd* pw = ::getpwnam("nobody")) {
            available_ = true;
            uid_ = pw->pw_uid;
            gid_ = pw->pw_gid;
        }
    }
    // False only for root on a system without a "nobody" account.
    bool Available() const { return available_; }
    // True when the ids must be switched (the tests run as root).
    bool IsSwitch() const { return ::getuid() == 0; }
    uid_t Uid() const { return uid_; }
    gid_t Gid() const { return gid_; }

    // Gives `path` to the ordinary user, so that its permission bits are the owner's.
    void Own(const std::string& path) const
    {
        if (IsSwitch()) {
            ASSERT_EQ(::chown(path.c_str(), uid_, gid_), 0) << path;
        }
    }

    template <typename Body>
    void Run(Body body) const
    {
        if (IsSwitch()) {
            ASSERT_EQ(::setegid(gid_), 0);
            ASSERT_EQ(::seteuid(uid_), 0);
        }
        body();
        if (IsSwitch()) {
            ASSERT_EQ(::seteuid(0), 0);
            ASSERT_EQ(::setegid(0), 0);
        }
    }

private:
    bool available_ = false;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
};

}  // namespace cltest
