#include "app/ticker.h"

#include "app/main.h"
#include "forms/application.h"

namespace app
{
    int RunTicker(os::Os& os)
    {
        forms::Application application(os);
        application.Initialize();
        application.SetTitle("Norvale Desktop Ticker");
        application.SetShowMainForm(false);
        TtickForm tickForm(application);
        tickForm.Show();
        return application.Run();
    }
} // namespace app
