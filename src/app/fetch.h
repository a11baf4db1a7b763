// The strip's fetches of the channel feed, the sponsor feed and the sponsor's logo
// page. They run on the download workers, never on the GUI thread: the strip, its
// movies, its menu and its icon go on while a server is slow, and the answer comes
// back to the strip's window as a message.
#pragma once

#include "os/os.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace app
{
    // The name the strip's fetches give themselves.
    constexpr const char* FetchAgent = "Norvale Desktop Ticker";
    // Posted to the strip's window as a fetch progresses or ends; wParam is its id.
    constexpr os::UINT FetchMessage = os::wm::user + 2;

    // At most 1 MiB, within 15 s from the start (connection, headers and body).
    os::DownloadLimits FetchLimits();

    // The text of a fetched body, read as 1024-byte blocks: a NUL byte cuts off the
    // rest of its block.
    std::string FetchedText(const std::vector<std::uint8_t>& body);

    enum class FetchKind
    {
        channel,
        sponsor
    };

    // The fetches of the strip, one of each kind in flight at a time. A request that
    // comes while one of its kind is in flight waits for it, so the answers come in
    // the order of the requests, as they would if each were read at once; at most
    // MaxWaiting wait, and a newer request takes the place of the last one waiting.
    // Each remembers the load of the ticker movie it was made for.
    class Fetches
    {
      public:
        static constexpr std::size_t MaxWaiting = 4;

        struct Request
        {
            std::string url;
            std::string then; // a second address the handler fetches after this one (the logo page)
            unsigned load = 0;
        };
        struct Answer
        {
            FetchKind kind = FetchKind::channel;
            Request request;
            bool ok = false;
            std::string text;  // when ok
            std::string error; // when not
        };

        explicit Fetches(os::IDownloads& downloads) : _downloads(downloads) {}
        ~Fetches() { CancelAll(); }
        Fetches(const Fetches&) = delete;
        Fetches& operator=(const Fetches&) = delete;

        // The window that hears of the fetches (FetchMessage).
        void SetNotify(os::Hwnd notify) { _notify = notify; }
        // Starts a fetch of a web address, or queues it behind the one of its kind in
        // flight; false when it cannot (an address that is not a web address never
        // goes out).
        bool Ask(FetchKind kind, Request request);
        // The second step of the request just answered, ahead of those waiting.
        bool Continue(FetchKind kind, Request request);
        // The answer that the message of fetch `id` brings once the fetch has ended;
        // nothing while it runs, or for a fetch that is no longer in flight.
        std::optional<Answer> Take(std::uint32_t id);
        // Starts the first waiting request of each kind that has none in flight.
        void StartWaiting();
        void CancelAll();

      private:
        struct Kind
        {
            std::uint32_t id = 0;
            Request request;
            std::deque<Request> waiting;
        };
        static std::size_t Index(FetchKind kind) { return kind == FetchKind::channel ? 0 : 1; }
        bool StartNow(Kind& kind, Request request);

        os::IDownloads& _downloads;
        os::Hwnd _notify{};
        Kind _kinds[2];
    };
} // namespace app
