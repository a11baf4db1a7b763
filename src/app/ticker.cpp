#include "app/ticker.h"

#include "app/about.h"
#include "app/main.h"
#include "forms/application.h"

namespace app
{
    int RunTicker(os::Os& os)
    {
        // One instance per user: the mutex is held until the process ends. A mutex
        // abandoned by an instance that died, or a wait that failed, does not stop us.
        const os::KernelHandle mutex = os.process.CreateNamedMutex("NorvaleTickerMutex");
        if (os.process.WaitForSingleObject(mutex, 0) == os::wait::timeout)
            return 0;

        forms::Application application(os);
        application.Initialize(); // COM, single-threaded, before any window
        application.SetTitle("Norvale Desktop Ticker");
        application.SetShowMainForm(false); // the start-up sequence shows the strip itself
        player::SystemPlayerFactory players(os.players);
        TtickForm tickForm(application, players);
        TAboutForm aboutForm(application);
        tickForm.AboutForm = &aboutForm;
        return application.Run();
    }
} // namespace app
