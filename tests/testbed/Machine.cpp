#include "Machine.h"

#include "Registry.h"

#include "messages/Holders.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace testbed {

namespace {

std::vector<Area>& AreaList()
{
    static std::vector<Area> areas;
    return areas;
}

// A deleted service stays "marked for deletion" until every handle to it,
// in any process, is closed; the service manager then drops it.
constexpr DWORD kDeletionWaitMs = 10000;
constexpr DWORD kPollMs = 50;

int VersionCommand(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return 2;
    const std::string version = args[0] == "none" ? std::string() : args[0];
    return Outcome(static_cast<DWORD>(SetProgramVersion(version)), "cannot set the version");
}

int BatteryServiceCommand(const std::vector<std::string>& args)
{
    const std::map<std::string, std::string> paths = { { "maker", kMakersDriverPath },
                                                       { "stock", kStockDriverPath },
                                                       { "lowercase", kLowerCaseMakersPath },
                                                       { "long", LongDriverPath() } };
    DWORD error = 0;
    if (args.size() == 1 && args[0] == "absent")
        error = RemoveService(kBatteryService);
    else if (args.size() == 1 && paths.count(args[0]) != 0)
        error = SetService(kBatteryService, paths.at(args[0]));
    else if (args.size() == 2 && args[0] == "path")
        error = SetService(kBatteryService, args[1]);
    else
        return 2;
    return Outcome(error, "cannot put the service into that state");
}

void Report(std::vector<std::string>& lines)
{
    const std::string version = ProgramVersion();
    lines.push_back(std::string("version of ") + kSentavioExe + ": " +
                    (version.empty() ? "prefix default" : version));
    const ServiceState service = QueryService(kBatteryService);
    lines.push_back(std::string("service ") + kBatteryService + ": " +
                    (service.error != 0 ? Failure("unreadable", service.error)
                     : service.present  ? service.binaryPath
                                        : "absent"));
}

const AreaRegistration registration{ {
    "machine",
    {
        { "version", "win2k|winxp|nt40|win98|win7|...|none   (what Sentavio.exe sees)", &VersionCommand },
        { "cmbatt", "absent|maker|stock|lowercase|long|path <binary path>", &BatteryServiceCommand },
    },
    &Report } };

}  // namespace

const std::vector<Area>& Areas()
{
    return AreaList();
}

AreaRegistration::AreaRegistration(Area area)
{
    AreaList().push_back(std::move(area));
}

std::string Failure(const std::string& what, DWORD error)
{
    return what + " (error " + std::to_string(error) + ")";
}

int Outcome(DWORD error, const char* what)
{
    if (error == ERROR_SUCCESS)
        return 0;
    std::fprintf(stderr, "%s\n", Failure(what, error).c_str());
    return 1;
}

LONG SetProgramVersion(const std::string& version, const char* program)
{
    const CSubKey key(kAppDefaultsKey, program);
    return version.empty() ? DeleteValue(key, kVersionValue) : WriteString(key, kVersionValue, version);
}

std::string ProgramVersion(const char* program)
{
    return ReadString(CSubKey(kAppDefaultsKey, program), kVersionValue);
}

DWORD SetService(const char* name, const std::string& binaryPath)
{
    CServiceHolder manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager)
        return GetLastError();
    // A service still marked for deletion can be neither changed nor created again until it is dropped.
    DWORD error = 0;
    for (DWORD waited = 0; waited <= kDeletionWaitMs; waited += kPollMs) {
        CServiceHolder service(OpenServiceA(manager.Get(), name, SERVICE_ALL_ACCESS));
        if (service && ChangeServiceConfigA(service.Get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                            binaryPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
            return 0;
        if (!service && GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) {
            service.Reset(CreateServiceA(manager.Get(), name, name, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                         SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, binaryPath.c_str(), nullptr,
                                         nullptr, nullptr, nullptr, nullptr));
            if (service)
                return 0;
        }
        // The error of the call that failed last: changing, opening or creating.
        error = GetLastError();
        if (error != ERROR_SERVICE_MARKED_FOR_DELETE)
            return error;
        Sleep(kPollMs);
    }
    return error;
}

DWORD RemoveService(const char* name)
{
    CServiceHolder manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager)
        return GetLastError();
    {
        CServiceHolder service(OpenServiceA(manager.Get(), name, DELETE));
        if (!service) {
            DWORD error = GetLastError();
            return error == ERROR_SERVICE_DOES_NOT_EXIST ? 0 : error;
        }
        if (!DeleteService(service.Get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE)
            return GetLastError();
    }
    for (DWORD waited = 0; waited <= kDeletionWaitMs; waited += kPollMs) {
        CServiceHolder service(OpenServiceA(manager.Get(), name, SERVICE_QUERY_STATUS));
        if (!service && GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST)
            return 0;
        service.Reset();
        Sleep(kPollMs);
    }
    return ERROR_SERVICE_MARKED_FOR_DELETE;
}

ServiceState QueryService(const char* name)
{
    ServiceState state;
    CServiceHolder manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    CServiceHolder service(manager ? OpenServiceA(manager.Get(), name, SERVICE_QUERY_CONFIG) : nullptr);
    if (!service) {
        const DWORD error = GetLastError();  // the manager's, when there is none
        state.error = error == ERROR_SERVICE_DOES_NOT_EXIST ? 0 : error;
        return state;
    }
    state.present = true;
    DWORD needed = 0;
    QueryServiceConfigA(service.Get(), nullptr, 0, &needed);
    std::vector<BYTE> buffer(std::max<DWORD>(needed, sizeof(QUERY_SERVICE_CONFIGA)));
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    if (!QueryServiceConfigA(service.Get(), config, static_cast<DWORD>(buffer.size()), &needed)) {
        state.error = GetLastError();
        return state;
    }
    if (config->lpBinaryPathName != nullptr)
        state.binaryPath = config->lpBinaryPathName;
    return state;
}

std::string LongDriverPath()
{
    std::string path = "system32\\DRIVERS";
    while (path.size() < 4000)
        path += "\\Kestrine battery driver folder";
    return path + "\\DIVURUVA.dor";
}

}  // namespace testbed
