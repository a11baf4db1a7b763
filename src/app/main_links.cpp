// Links opened in the user's browser, the help page, the about box and the exit.
#include "app/about.h"
#include "app/content.h"
#include "app/main.h"
#include "app/settings.h"
#include "app/url.h"
#include "forms/application.h"
#include "forms/registry.h"

namespace app
{
    void TtickForm::ShellOpen(const std::string& target)
    {
        Os().shell.Execute(App().Handle(), "open", target, "", "", os::sw::shownormal);
    }

    // The door through which addresses from the movies and the network reach the
    // user's browser: only plain web addresses pass.
    void TtickForm::OpenURL(const std::string& url, bool withId)
    {
        const std::string target = withId ? WithTid(url, UserId) : url;
        if (!IsWebUrl(url) || !IsWebUrl(target))
        {
            Trace("refused to open an address that is not a web address");
            return;
        }
        ShellOpen(target);
    }

    void TtickForm::Help1Click(forms::MenuItem&)
    {
        if (Os().internet.GetConnectedState())
        {
            ShellOpen(ContentBaseUrl() + "help.htm");
            return;
        }
        std::string path;
        {
            forms::Registry reg(Os().registry);
            if (reg.OpenKey(SettingsKey, true))
            {
                const std::string installPath = reg.ReadString("InstallPath").value_or("");
                if (!installPath.empty())
                    path = installPath + "\\help.htm";
            }
        }
        if (path.empty() || !Os().process.FileExists(path))
        {
            App().MessageBox("Sorry, cannot find the help file", "Norvale Desktop Ticker", os::mb::ok | os::mb::iconerror);
            return;
        }
        ShellOpen(path);
    }

    void TtickForm::AbouttheNorvaleVodazovOvarar1Click(forms::MenuItem&)
    {
        if (AboutForm)
            AboutForm->Show();
    }

    void TtickForm::Exit1Click(forms::MenuItem&)
    {
        DoQuit();
        App().Terminate();
    }
} // namespace app
