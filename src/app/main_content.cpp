// What the strip fetches, shows or offers for the ticker movie: the channel feed,
// the sponsor's link, text and logo, and the offer of a new version.
#include "app/feeds.h"
#include "app/main.h"
#include "app/settings.h"
#include "app/update.h"
#include "forms/registry.h"

#include <utility>

namespace app
{
    // The movie owns the channel: each request fetches the feed afresh and hands the
    // fields back in gNewChannel when the answer comes. When nothing could be read,
    // the variable keeps whatever the movie last had.
    void TtickForm::GetFlashChannel(const std::string& url)
    {
        if (!Flash)
            return;
        _fetches.SetNotify(Handle());
        if (!_fetches.Ask(FetchKind::channel, { url, {}, _loads }))
            Trace("fetch not started: " + url);
    }

    // The sponsor feed gives the ticker movie a link and a text; on the first request
    // of a load the logo page gives the sponsor movie the logo to show. SponsorURL is
    // empty until then, "/" once a logo was requested without a link, else the link.
    void TtickForm::GetFlashSponsor(const std::string& args)
    {
        if (!Flash)
            return;
        const auto [feedUrl, logoUrl] = SplitSponsorArgs(args);
        _fetches.SetNotify(Handle());
        if (!_fetches.Ask(FetchKind::sponsor, { feedUrl, logoUrl, _loads }))
            SponsorFailed("fetch not started: " + feedUrl);
    }

    void TtickForm::FetchArrived(std::uint32_t id)
    {
        const std::optional<Fetches::Answer> answer = _fetches.Take(id);
        if (!answer)
            return; // still running, or no longer in flight
        // The controls it was made for may be gone, or going.
        if (answer->request.load != _loads || !Flash || _quitting)
            return;
        // The requests that waited go out once this one is handled, however that ends.
        struct NextOnExit
        {
            Fetches& fetches;
            ~NextOnExit() { fetches.StartWaiting(); }
        } next{ _fetches };
        if (answer->kind == FetchKind::channel)
            ChannelArrived(*answer);
        else
            SponsorArrived(*answer);
    }

    void TtickForm::ChannelArrived(const Fetches::Answer& answer)
    {
        if (!answer.ok)
            Trace("fetch failed: " + answer.error);
        if (answer.text.empty())
            return;
        Flash->SetVariable(L"gNewChannel", Os().process.AnsiToWide(ChannelValue(answer.text)));
    }

    void TtickForm::SponsorFailed(const std::string& why)
    {
        Trace(why);
        if (Flash)
            Flash->SetVariable(L"gSponsorState", L"-1");
    }

    void TtickForm::SponsorArrived(const Fetches::Answer& answer)
    {
        // The feed read before, when this is the logo page.
        const std::optional<std::string> feed = std::exchange(_sponsorFeed, std::nullopt);
        if (!answer.ok || answer.text.empty())
            return SponsorFailed(answer.ok ? "fetch failed: an empty answer" : "fetch failed: " + answer.error);
        if (feed)
            return ShowSponsor(*feed, answer.text);
        // The feed; the first request of a load also wants the logo page.
        if (!SponsorURL.empty())
            return ShowSponsor(answer.text, {});
        const std::string& logoUrl = answer.request.then;
        if (!_fetches.Continue(FetchKind::sponsor, { logoUrl, {}, _loads }))
            return SponsorFailed("fetch not started: " + logoUrl);
        _sponsorFeed = answer.text;
    }

    void TtickForm::ShowSponsor(const std::string& feed, const std::string& page)
    {
        auto& process = Os().process;
        auto [link, text] = SponsorFields(feed);
        const std::wstring oldLink = Flash->GetVariable(L"sponsor_url");
        const std::wstring oldText = Flash->GetVariable(L"sponsor_text");
        Trace("oldSponsorURL: " + process.WideToAnsi(oldLink));
        Trace("oldSponsorText: " + process.WideToAnsi(oldText));
        // The movie keeps a sponsor's link and text while the feed repeats them and
        // loses them when the feed names another sponsor.
        std::wstring newLink = process.AnsiToWide(link);
        std::wstring newText = process.AnsiToWide(text);
        if (!oldLink.empty() && oldLink != newLink)
        {
            link.clear();
            newLink.clear();
        }
        if (!oldText.empty() && oldText != newText)
        {
            text.clear();
            newText.clear();
        }
        Flash->SetVariable(L"sponsor_url", newLink);
        Flash->SetVariable(L"sponsor_text", newText);
        Trace("sponsor_url = " + link);
        Trace("sponsor_text = " + text);

        if (SponsorURL.empty())
        {
            SponsorURL = "/";
            SetSponsorFlash(LogoAddress(page));
        }
        else
            Flash->SetVariable(L"gSponsorState", L"1");
        SponsorURL = link.empty() ? "/" : link;
        Trace("gSponsorURL = " + SponsorURL);
    }

    // The sponsor movie, from the installation folder, loads the logo itself and
    // answers with sponsorlogoSuccess or sponsorlogoFailed.
    void TtickForm::SetSponsorFlash(const std::string& logo)
    {
        if (!SponsorFlash)
            return;
        SponsorFlash->SetMovie(Os().process.AnsiToWide(GetPath() + "\\loader.swf"));
        SponsorFlash->Stop();
        SponsorFlash->Rewind();
        SponsorFlash->Play();
        Trace("Setting content_src: " + logo);
        SponsorFlash->SetVariable(L"content_src", Os().process.AnsiToWide(logo));
    }

    // The slot goes out of sight but keeps its width, so the ticker control goes on
    // leaving it free; no logo is asked for again until the next load.
    void TtickForm::HideSponsorFlash()
    {
        SponsorURL = "/";
        if (!SponsorFlash)
            return;
        SponsorFlash->SetTop(500);
        Timer2Timer(Timer2);
    }

    void TtickForm::SponsorFSCommand(player::TShockwaveFlash&, const std::wstring& command, const std::wstring&)
    {
        if (!Flash)
            return; // the sender is the sponsor control; the ticker control is being rebuilt
        if (command == L"sponsorlogoSuccess")
        {
            SponsorFlash->SetBounds(ClientWidth() - Scale(GrabWidth) - Scale(SponsorWidth), 0, Scale(SponsorWidth),
                                    Scale(TickerHeight));
            Timer2Timer(Timer2);
            Flash->SetVariable(L"gSponsorState", L"1");
            SponsorFlash->DoObjectVerb(os::oleiverb::show);
        }
        if (command == L"sponsorlogoFailed")
        {
            Trace("[[[[[[[[[[[[[[[[ SPONSOR LOGO FAILED ]]]]]]]]]]]]]]]]]]]");
            Flash->SetVariable(L"gSponsorState", L"-1");
            SponsorFlash->SetBounds(SponsorFlash->Left(), Scale(30), 0, Scale(TickerHeight));
            Timer2Timer(Timer2);
        }
        // The link came from the network: it opens only when it is a web address
        // (OpenURL's rule), and not at all while no sponsor link is known.
        if (command == L"sponsorclick" && !SponsorURL.empty() && SponsorURL != "/")
            OpenURL(SponsorURL, false);
    }

    // The movie knows when a new version exists; the strip offers it unless the user
    // asked never to be asked again. The prompt is modeless: the ticker runs on.
    void TtickForm::DoUpdate(const std::string& url)
    {
        bool dontAsk = false;
        {
            forms::Registry reg(Os().registry);
            // A value of another type than a 32-bit integer reads as missing: ask.
            if (reg.OpenKey(SettingsKey, true))
                dontAsk = reg.ReadInteger("dontaskupdate").value_or(0) != 0;
        }
        if (dontAsk || !UpdateForm)
            return;
        UpdateForm->DownloadURL = url;
        UpdateForm->Show();
    }

    bool TtickForm::UpdatePromptVisible()
    {
        return UpdateForm && UpdateForm->Visible();
    }
} // namespace app
