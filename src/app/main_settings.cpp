// The settings store: the launch-at-log-on choice, the user identifier made once
// and kept, the first-run query and the installation folder. Every access opens
// the key for the one operation; a value of another type than expected reads as
// missing.
#include "app/main.h"
#include "app/settings.h"
#include "forms/registry.h"

namespace app
{
    void TtickForm::LoadStartupSetting()
    {
        auto& process = Os().process;
        forms::Registry reg(Os().registry);
        if (!reg.OpenKey(SettingsKey, true))
            return;
        const std::string launch = reg.ReadString("LaunchOnStartup").value_or("");
        if (!launch.empty() && launch == "no")
            LaunchatStartup1.SetChecked(false);
        const std::string stored = reg.ReadString("UID").value_or("");
        if (!stored.empty())
        {
            UserId = stored;
            return;
        }
        const long bias = process.TimeZoneBias();
        const std::uint32_t seed = process.RandomSeed();
        UserId = FormatUserId(process.GetLocalTime(), bias, RandomBelow(seed, 1000));
        reg.WriteString("UID", UserId);
    }

    void TtickForm::CheckFirstTime()
    {
        forms::Registry reg(Os().registry);
        if (!reg.OpenKey(SettingsKey, true))
            return;
        if (!reg.ReadString("Initialized").value_or("").empty())
        {
            Flash->SetVariable(L"gFirstTime", L"no");
            return;
        }
        FirstRun = true;
        Flash->SetVariable(L"gFirstTime", L"yes");
        reg.WriteString("Initialized", "done");
    }

    void TtickForm::DoRunOnStartup(bool enable)
    {
        std::string path = Os().process.CurrentDirectory() + "\\ticker.exe";
        {
            forms::Registry settings(Os().registry);
            if (settings.OpenKey(SettingsKey, true))
            {
                const std::string installPath = settings.ReadString("InstallPath").value_or("");
                if (installPath.size() >= 2)
                    path = installPath + "\\ticker.exe";
            }
        }
        {
            forms::Registry run(Os().registry);
            if (run.OpenKey(RunKey, true))
            {
                const std::string current = run.ReadString(RunValueName).value_or("");
                if (!current.empty() && !enable)
                    run.DeleteValue(RunValueName);
                else if (current.empty() && enable)
                    run.WriteString(RunValueName,
                                    "\"" + path + "\""); // quoted: a path with blanks must not start another program
            }
        }
        forms::Registry settings(Os().registry);
        if (settings.OpenKey(SettingsKey, true))
            settings.WriteString("LaunchOnStartup", LaunchatStartup1.Checked() ? "yes" : "no");
    }

    void TtickForm::LaunchatStartup1Click(forms::MenuItem&)
    {
        LaunchatStartup1.SetChecked(!LaunchatStartup1.Checked());
        DoRunOnStartup(LaunchatStartup1.Checked());
    }

    std::string TtickForm::GetPath()
    {
        forms::Registry reg(Os().registry);
        if (!reg.OpenKey(SettingsKey, true))
            return {};
        const std::string installPath = reg.ReadString("InstallPath").value_or("");
        return installPath.empty() ? Os().process.CurrentDirectory() : installPath;
    }
} // namespace app
