// What the strip fetches, shows or offers for the ticker movie: the channel feed,
// the sponsor's link, text and logo, and the offer of a new version.
#include "app/feeds.h"
#include "app/fetch.h"
#include "app/main.h"
#include "app/settings.h"
#include "app/update.h"
#include "forms/registry.h"

namespace app
{
    std::string TtickForm::FetchUrlText(os::InternetHandle session, const std::string& url)
    {
        return app::FetchUrlText(Os(), session, url, [this](const std::string& line) { Trace(line); });
    }

    // The movie owns the channel: each request fetches the feed afresh and hands the
    // fields back in gNewChannel. When nothing could be read, the variable keeps
    // whatever the movie last had.
    void TtickForm::GetFlashChannel(const std::string& url)
    {
        std::string text;
        {
            const FetchSession session(Os().internet);
            if (!session.IsOpen())
                return;
            text = FetchUrlText(session.Handle(), url);
        }
        if (text.empty() || !Flash)
            return;
        Flash->SetVariable(L"gNewChannel", Os().process.AnsiToWide(ChannelValue(text)));
    }

    // The sponsor feed gives the ticker movie a link and a text; on the first request
    // of a load the logo page gives the sponsor movie the logo to show. SponsorURL is
    // empty until then, "/" once a logo was requested without a link, else the link.
    void TtickForm::GetFlashSponsor(const std::string& args)
    {
        if (!Flash)
            return;
        auto& process = Os().process;
        const auto [feedUrl, logoUrl] = SplitSponsorArgs(args);
        std::string feed;
        std::string page;
        bool ok = false;
        if (const FetchSession session(Os().internet); session.IsOpen())
        {
            feed = FetchUrlText(session.Handle(), feedUrl);
            ok = !feed.empty();
            if (ok && SponsorURL.empty())
            {
                page = FetchUrlText(session.Handle(), logoUrl);
                ok = !page.empty();
            }
        }
        if (!ok)
        {
            Flash->SetVariable(L"gSponsorState", L"-1");
            return;
        }

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
            SponsorFlash->SetBounds(ClientWidth() - GrabWidth - SponsorWidth, 0, SponsorWidth, TickerHeight);
            Timer2Timer(Timer2);
            Flash->SetVariable(L"gSponsorState", L"1");
            SponsorFlash->DoObjectVerb(os::oleiverb::show);
        }
        if (command == L"sponsorlogoFailed")
        {
            Trace("[[[[[[[[[[[[[[[[ SPONSOR LOGO FAILED ]]]]]]]]]]]]]]]]]]]");
            Flash->SetVariable(L"gSponsorState", L"-1");
            SponsorFlash->SetBounds(SponsorFlash->Left(), 30, 0, TickerHeight);
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
