#include "serial/open_failure_advice.h"

#include "serial/port_survey.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace serial {
namespace {

constexpr char kDialout[] = "dialout";

bool Holds(const std::vector<std::string> &names, const std::string &name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

#ifndef _WIN32
std::string GroupName(gid_t id)
{
    const group *entry = ::getgrgid(id);
    return entry ? entry->gr_name : std::to_string(id);
}

std::vector<std::string> GroupNames(const std::vector<gid_t> &ids)
{
    std::vector<std::string> names;
    for (const gid_t id : ids)
        names.push_back(GroupName(id));
    return names;
}
#endif

std::string PermissionAdvice(const std::string &device, const OpenFacts &facts)
{
    const std::string denied = "permission denied on " + device;
    if (facts.group == kDialout && !Holds(facts.sessionGroups, kDialout)) {
        if (Holds(facts.accountGroups, kDialout))
            return denied + " — you were added to the dialout group after this login began: log in again";
        return denied + " — add yourself to the dialout group and log in again\n"
                        "sudo usermod -aG dialout $USER";
    }
    if (facts.owner.empty() && facts.group.empty())
        return denied;
    return denied + " — it belongs to user " + facts.owner + " and group " + facts.group
           + ", which may open it";
}

// For a port whose device is not there: what COMn stood for, and how to point it at an
// adapter that is.
std::string MissingAdvice(int portNumber, const Port::Failure &failure, const OpenFacts &facts)
{
    const std::string name = "COM" + std::to_string(portNumber);
    std::string text;
    if (!facts.portLink.empty())
        text = name + " links to " + facts.portLink + ", which is not there (" + failure.reason + ")";
    else
        text = "no " + name + " link in this folder, so " + name + " is " + failure.device + ": " + failure.reason;
    if (facts.adapters.empty())
        return text + "\nno USB serial adapter is plugged in";
    text += "\nUSB serial adapters here:";
    for (const DeviceInfo &adapter : facts.adapters) {
        text += std::string(&adapter == &facts.adapters.front() ? " " : ", ")
                + (adapter.stableName.empty() ? adapter.device : adapter.stableName + " (" + adapter.device + ")");
    }
    const DeviceInfo &first = facts.adapters.front();
    return text + "\nlink one as " + name + ": velqorctl ports --link " + std::to_string(portNumber) + " "
           + (first.stableName.empty() ? first.device : first.stableName);
}

// Windows names its ports: the one asked for is not among them, and these are.
std::string AbsentPortAdvice(int portNumber, const Port::Failure &failure, const OpenFacts &facts)
{
    const auto &present = facts.presentPorts;
    // a device that went away under a port Windows still names: the reason says it all
    const bool named = std::find(present.begin(), present.end(), portNumber) != present.end();
    std::string text = named ? std::string() : "COM" + std::to_string(portNumber) + " is not present; ";
    if (present.empty())
        text += "no COM port is present";
    for (const int n : present)
        text += std::string(n == present.front() ? "present: " : ", ") + "COM" + std::to_string(n);
    return failure.reason.empty() ? text : named ? failure.reason + "\n" + text : text + "\n" + failure.reason;
}

} // namespace

OpenFacts GatherOpenFacts(int portNumber, const std::string &device)
{
    OpenFacts facts;
    if (portNumber >= 1) {
        const std::filesystem::path file = "COM" + std::to_string(portNumber);
        std::error_code ec;
        if (std::filesystem::is_symlink(std::filesystem::symlink_status(file, ec)))
            facts.portLink = std::filesystem::read_symlink(file, ec).string();
        else if (std::filesystem::exists(file, ec))
            facts.portLink = file.string();
    }
    for (DeviceInfo &info : PresentDevices()) {
        if (info.vendorId || !info.stableName.empty())
            facts.adapters.push_back(std::move(info));
    }
#ifndef _WIN32
    struct stat status {};
    if (!device.empty() && ::stat(device.c_str(), &status) == 0) {
        const passwd *owner = ::getpwuid(status.st_uid);
        facts.owner = owner ? owner->pw_name : std::to_string(status.st_uid);
        facts.group = GroupName(status.st_gid);
    }
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> session(static_cast<std::size_t>(std::max(count, 0)));
    if (count > 0 && ::getgroups(count, session.data()) == count) {
        session.push_back(::getegid());
        facts.sessionGroups = GroupNames(session);
    }
    if (const passwd *user = ::getpwuid(::getuid())) {
        int n = 64;
        std::vector<gid_t> account(static_cast<std::size_t>(n));
        if (::getgrouplist(user->pw_name, user->pw_gid, account.data(), &n) < 0) {
            account.resize(static_cast<std::size_t>(n));
            ::getgrouplist(user->pw_name, user->pw_gid, account.data(), &n);
        }
        account.resize(static_cast<std::size_t>(n));
        facts.accountGroups = GroupNames(account);
    }
#else
    (void)device;
    facts.systemNamesPorts = true;
    facts.presentPorts = PresentPortNumbers();
#endif
    return facts;
}

std::string OpenFailureAdvice(int portNumber, const Port::Failure &failure, OpenResult result,
                              const OpenFacts &facts)
{
    if (result == OpenResult::NotFound && facts.systemNamesPorts && portNumber >= 1)
        return AbsentPortAdvice(portNumber, failure, facts);
    if (failure.device.empty())
        return failure.reason;
    switch (result) {
    case OpenResult::Ok:
        return {};
    case OpenResult::NoPermission:
        return PermissionAdvice(failure.device, facts);
    case OpenResult::NotFound:
        if (portNumber >= 1 && failure.device != "COM" + std::to_string(portNumber))  // Windows names it so
            return MissingAdvice(portNumber, failure, facts);
        break;
    case OpenResult::Busy:
        return failure.device + " is " + (failure.reason.empty() ? "held by another program" : failure.reason);
    default:
        // ENOTTY: the device takes no terminal settings (a file, /dev/null)
        if (failure.reason.find("inappropriate ioctl") != std::string::npos)
            return failure.device + " is not a serial port (" + failure.reason + ")";
        break;
    }
    return (failure.reason.empty() ? std::string("the port cannot be used") : failure.reason) + " on "
           + failure.device;
}

} // namespace serial
