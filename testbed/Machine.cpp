#include "Machine.h"

#include "Holders.h"

#include <cstdio>

namespace testbed {

namespace {

std::vector<Area>& AreaList()
{
    static std::vector<Area> areas;
    return areas;
}

std::string AppDefaultsKey(const char* program)
{
    return std::string("Software\\Wine\\AppDefaults\\") + program;
}

// A deleted service stays "marked for deletion" until every handle to it,
// in any process, is closed; the service manager then drops it.
constexpr DWORD kDeletionWaitMs = 10000;
constexpr DWORD kPollMs = 50;

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

LONG SetProgramVersion(const std::string& version, const char* program)
{
    const std::string keyName = AppDefaultsKey(program);
    if (version.empty()) {
        UniqueKey key;
        LONG status = RegOpenKeyExA(HKEY_CURRENT_USER, keyName.c_str(), 0, KEY_SET_VALUE, key.put());
        if (status == ERROR_FILE_NOT_FOUND)
            return ERROR_SUCCESS;
        if (status != ERROR_SUCCESS)
            return status;
        status = RegDeleteValueA(key.get(), "Version");
        return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
    }
    UniqueKey key;
    LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, keyName.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    return RegSetValueExA(key.get(), "Version", 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(version.c_str()),
                          static_cast<DWORD>(version.size() + 1));
}

std::string ProgramVersion(const char* program)
{
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, AppDefaultsKey(program).c_str(), 0, KEY_QUERY_VALUE,
                      key.put()) != ERROR_SUCCESS)
        return std::string();
    char value[64] = {};
    DWORD size = sizeof(value) - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key.get(), "Version", nullptr, &type, reinterpret_cast<BYTE*>(value),
                         &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::string();
    return value;
}

DWORD SetService(const char* name, const std::string& binaryPath)
{
    UniqueServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager)
        return GetLastError();
    // A service still marked for deletion can be neither changed nor created
    // again until the manager has dropped it.
    DWORD error = 0;
    for (DWORD waited = 0; waited <= kDeletionWaitMs; waited += kPollMs) {
        UniqueServiceHandle service(OpenServiceA(manager.get(), name, SERVICE_ALL_ACCESS));
        if (service) {
            if (ChangeServiceConfigA(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                     SERVICE_NO_CHANGE, binaryPath.c_str(), nullptr, nullptr,
                                     nullptr, nullptr, nullptr, nullptr))
                return 0;
            error = GetLastError();
        } else {
            error = GetLastError();
            if (error == ERROR_SERVICE_DOES_NOT_EXIST) {
                service.reset(CreateServiceA(manager.get(), name, name, SERVICE_ALL_ACCESS,
                                             SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
                                             SERVICE_ERROR_NORMAL, binaryPath.c_str(), nullptr,
                                             nullptr, nullptr, nullptr, nullptr));
                if (service)
                    return 0;
                error = GetLastError();
            }
        }
        if (error != ERROR_SERVICE_MARKED_FOR_DELETE)
            return error;
        Sleep(kPollMs);
    }
    return error;
}

DWORD RemoveService(const char* name)
{
    UniqueServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager)
        return GetLastError();
    {
        UniqueServiceHandle service(OpenServiceA(manager.get(), name, DELETE));
        if (!service) {
            DWORD error = GetLastError();
            return error == ERROR_SERVICE_DOES_NOT_EXIST ? 0 : error;
        }
        if (!DeleteService(service.get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE)
            return GetLastError();
    }
    for (DWORD waited = 0; waited <= kDeletionWaitMs; waited += kPollMs) {
        UniqueServiceHandle service(OpenServiceA(manager.get(), name, SERVICE_QUERY_STATUS));
        if (!service && GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST)
            return 0;
        service.reset();
        Sleep(kPollMs);
    }
    return ERROR_SERVICE_MARKED_FOR_DELETE;
}

ServiceState QueryService(const char* name)
{
    ServiceState state;
    UniqueServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        state.error = GetLastError();
        return state;
    }
    UniqueServiceHandle service(OpenServiceA(manager.get(), name, SERVICE_QUERY_CONFIG));
    if (!service) {
        DWORD error = GetLastError();
        if (error != ERROR_SERVICE_DOES_NOT_EXIST)
            state.error = error;
        return state;
    }
    state.present = true;
    DWORD needed = 0;
    QueryServiceConfigA(service.get(), nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed > sizeof(QUERY_SERVICE_CONFIGA) ? needed
                                                                     : sizeof(QUERY_SERVICE_CONFIGA));
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    if (!QueryServiceConfigA(service.get(), config, static_cast<DWORD>(buffer.size()), &needed)) {
        state.error = GetLastError();
        return state;
    }
    if (config->lpBinaryPathName != nullptr)
        state.binaryPath = config->lpBinaryPathName;
    return state;
}

std::string LongDriverPath()
{
    // Deep enough that the configuration is several kilobytes; the maker's
    // file name comes only at the very end.
    std::string path = "system32\\DRIVERS";
    while (path.size() < 4000)
        path += "\\Kestrine battery driver folder";
    return path + "\\DIVURUVA.dor";
}

namespace {

int VersionCommand(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return 2;
    const std::string version = args[0] == "none" ? std::string() : args[0];
    LONG status = SetProgramVersion(version);
    if (status != ERROR_SUCCESS) {
        std::fprintf(stderr, "%s\n", Failure("cannot set the version", status).c_str());
        return 1;
    }
    return 0;
}

int BatteryServiceCommand(const std::vector<std::string>& args)
{
    if (args.empty())
        return 2;
    const std::string& state = args[0];
    DWORD error = 0;
    if (state == "absent" && args.size() == 1)
        error = RemoveService(kBatteryService);
    else if (state == "maker" && args.size() == 1)
        error = SetService(kBatteryService, kMakersDriverPath);
    else if (state == "stock" && args.size() == 1)
        error = SetService(kBatteryService, kStockDriverPath);
    else if (state == "lowercase" && args.size() == 1)
        error = SetService(kBatteryService, kLowerCaseMakersPath);
    else if (state == "long" && args.size() == 1)
        error = SetService(kBatteryService, LongDriverPath());
    else if (state == "path" && args.size() == 2)
        error = SetService(kBatteryService, args[1]);
    else
        return 2;
    if (error != 0) {
        std::fprintf(stderr, "%s\n", Failure("cannot put the service into that state", error).c_str());
        return 1;
    }
    return 0;
}

void Report(std::vector<std::string>& lines)
{
    const std::string version = ProgramVersion();
    lines.push_back(std::string("version of ") + kSentavioExe + ": " +
                    (version.empty() ? "prefix default" : version));
    const ServiceState service = QueryService(kBatteryService);
    std::string line = std::string("service ") + kBatteryService + ": ";
    if (service.error != 0)
        line += Failure("unreadable", service.error);
    else if (!service.present)
        line += "absent";
    else
        line += service.binaryPath;
    lines.push_back(line);
}

const AreaRegistration registration{ {
    "machine",
    {
        { "version", "win2k|winxp|nt40|win98|win7|...|none   (what Sentavio.exe sees)", &VersionCommand },
        { "cmbatt", "absent|maker|stock|lowercase|long|path <binary path>", &BatteryServiceCommand },
    },
    &Report } };

}  // namespace

}  // namespace testbed
