#include "app/ticker.h"

#include "app/about.h"
#include "app/main.h"
#include "app/prefs.h"
#include "app/update.h"
#include "forms/application.h"
#include "forms/exceptions.h"
#include "player/movie/movie_player.h"

#include <memory>
#include <stdexcept>

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
        // Our own movie player, unless the settings ask for the hosted Flash control.
        player::SystemPlayerFactory flash(os.players);
        player::MoviePlayerFactory movies(os);
        player::PlayerFactory& players =
            player::SettingsChooseFlash(os.registry) ? static_cast<player::PlayerFactory&>(flash) : movies;
        std::unique_ptr<TtickForm> tickForm;
        std::unique_ptr<TAboutForm> aboutForm;
        std::unique_ptr<TprefsForm> prefsForm;
        std::unique_ptr<TUpdateForm> updateForm;
        // Nothing that goes wrong ends the program without the quit sequence: the
        // settings are saved and the notification-area icon goes.
        auto fail = [&](const char* what)
        {
            application.HandleException(std::runtime_error(what));
            if (tickForm && !tickForm->Quitting())
                application.Guard([&] { tickForm->DoQuit(); });
            return 1;
        };
        try
        {
            application.Initialize(); // COM, single-threaded, before any window
            application.SetTitle("Norvale Desktop Ticker");
            application.SetShowMainForm(false); // the start-up sequence shows the strip itself
            tickForm = std::make_unique<TtickForm>(application, players);
            aboutForm = std::make_unique<TAboutForm>(application);
            tickForm->AboutForm = aboutForm.get();
            // The preferences panel plays a movie too: without a player there is none.
            if (!tickForm->FlashMissing)
            {
                try
                {
                    prefsForm = std::make_unique<TprefsForm>(application, players, *tickForm);
                    tickForm->PrefsForm = prefsForm.get();
                }
                catch (const forms::EOleSysError&)
                {
                    prefsForm.reset();
                }
            }
            updateForm = std::make_unique<TUpdateForm>(application);
            updateForm->Exit1 = &tickForm->Exit1;
            tickForm->UpdateForm = updateForm.get();
            return application.Run();
        }
        catch (const std::exception& e)
        {
            return fail(e.what());
        }
        catch (...)
        {
            return fail("The Norvale Desktop Ticker met an unexpected error and must close.");
        }
    }
} // namespace app
