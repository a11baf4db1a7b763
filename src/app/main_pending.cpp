// Operations that the ticker movie's commands reach but whose work is not built
// yet. Each one says so in the trace and changes nothing; the issue that builds
// the work replaces its entry here.
#include "app/main.h"

namespace app
{
    void TtickForm::AddNewChannel(const std::string&)
    {
        Trace("addnewchannnel: the preferences panel is not built yet");
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
