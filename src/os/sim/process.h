// The simulated process: named mutexes, the current directory, files, local time
// on the virtual clock, the time zone, the random seed, the ANSI code page and the
// program's resources.
#pragma once

#include "os/os.h"
#include "os/sim/system.h"

#include <map>
#include <optional>
#include <set>

namespace os::sim
{
    class SimProcess final : public IProcess
    {
      public:
        explicit SimProcess(Clock& clock);

        enum class MutexState
        {
            free,
            ownedByOther, // another running instance holds it
            abandoned,    // an instance ended without releasing it
        };

        // ---- scene (test side)
        void SetMutex(const std::string& name, MutexState state) { _mutexes[name] = state; }
        void SetMutexCreationFails(bool fails) { _mutexFails = fails; }
        void SetCurrentDirectory(const std::string& dir) { _cwd = dir; }
        void AddFile(const std::string& path) { _files.insert(path); }
        void AddFolder(const std::string& path) { _folders.insert(path); }
        // Local time now; it then runs with the virtual clock.
        void SetLocalTime(const SystemTime& t);
        void SetTimeZoneBias(long bias) { _bias = bias; }
        void SetRandomSeed(std::uint32_t seed) { _seed = seed; }
        void AddResource(const std::string& name, std::vector<std::uint8_t> data) { _resources[name] = std::move(data); }

        // ---- look (test side)
        std::optional<MutexState> Mutex(const std::string& name) const;
        bool OwnsMutex(const std::string& name) const { return _owned.count(name) != 0; }
        const std::vector<std::string>& DebugLines() const { return _debug; }

        // Local time arithmetic, exposed for tests that compute expected times.
        static std::int64_t ToSeconds(const SystemTime& t); // seconds since 1601-01-01
        static SystemTime FromMilliseconds(std::int64_t ms);

        // ---- IProcess
        KernelHandle CreateNamedMutex(const std::string& name) override;
        DWORD WaitForSingleObject(KernelHandle handle, DWORD milliseconds) override;
        std::string CurrentDirectory() override { return _cwd; }
        bool FileExists(const std::string& path) override { return _files.count(path) != 0; }
        SystemTime GetLocalTime() override;
        long TimeZoneBias() override { return _bias; }
        std::uint32_t RandomSeed() override { return _seed; }
        std::string WideToAnsi(const std::wstring& text) override;
        std::wstring AnsiToWide(const std::string& text) override;
        std::vector<std::uint8_t> LoadResourceData(const std::string& name) override;
        void DebugOutput(const std::string& text) override { _debug.push_back(text); }
        // The real processor time of the test process: what a movie's script costs is
        // real work, whatever the virtual clock says.
        std::uint64_t ThreadCpuMicroseconds() override;

      private:
        Clock& _clock;
        std::map<std::string, MutexState> _mutexes;
        std::map<KernelHandle, std::string> _mutexHandles;
        std::set<std::string> _owned;
        bool _mutexFails = false;
        std::intptr_t _nextHandle = 0x50010;
        std::string _cwd = "C:\\Program Files\\Norvale";
        std::set<std::string> _files;
        std::set<std::string> _folders;
        std::int64_t _localBaseMs = 0; // local time in ms since 1601 at clock 0
        long _bias = 0;
        std::uint32_t _seed = 12345;
        std::map<std::string, std::vector<std::uint8_t>> _resources;
        std::vector<std::string> _debug;
    };
} // namespace os::sim
