// Operations that the ticker movie's commands reach but whose work is not built
// yet. Each one says so in the trace and changes nothing; the issue that builds
// the work replaces its entry here.
#include "app/main.h"

namespace app
{
    void TtickForm::GetFlashSponsor(const std::string&)
    {
        Trace("getsponsor: the sponsor logo is not built yet");
    }

    void TtickForm::GetFlashChannel(const std::string&)
    {
        Trace("getchannel: the channel feed is not built yet");
    }

    void TtickForm::AddNewChannel(const std::string&)
    {
        Trace("addnewchannnel: the preferences panel is not built yet");
    }

    void TtickForm::HideSponsorFlash()
    {
        Trace("hidelogo: the sponsor logo is not built yet");
    }

    void TtickForm::DoUpdate(const std::string&)
    {
        Trace("update: the update prompt is not built yet");
    }

    // There is no update prompt yet, so it is never in the way of the focus.
    bool TtickForm::UpdatePromptVisible()
    {
        return false;
    }

    void TtickForm::OpenPopup()
    {
        Trace("preferences: the context menu is not built yet");
    }

    void TtickForm::SetNewsPreferences1Click()
    {
        Trace("the preferences panel is not built yet");
    }
} // namespace app
