// The news manager: server settings, stored messages, the fetch from the news server, load and save.
#include "CNewsManager.h"

#include <ctime>
#include <new>

#include "../framework/Afx.h"
#include "CNewsConnection.h"
#include "NewsSettingsStore.h"
#include "resource.h"

#ifndef NEWS_DEFAULT_HOST
#define NEWS_DEFAULT_HOST "news.example.invalid"
#endif

namespace {
std::int64_t Now()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}
}

const char* CNewsManager::DefaultHost()
{
    return NEWS_DEFAULT_HOST;
}

void CNewsManager::LoadSettings()
{
    using Store = NewsSettingsStore;
    if (!Store::ReadString(IDS_SERVER_ADDRESS, nullptr, host)) {
        firstRun = 1;
        host = DefaultHost();
        Store::WriteString(IDS_SERVER_ADDRESS, nullptr, host);
    }
    if (!Store::ReadInt(IDS_SERVER_PORT, nullptr, port)) {
        port = DEFAULT_PORT;
        Store::WriteInt(IDS_SERVER_PORT, nullptr, port);
    }
    if (!Store::ReadTime(IDS_LAST_PRESENTATION, nullptr, lastPresentation)) {
        lastPresentation = Now();
        Store::WriteTime(IDS_LAST_PRESENTATION, nullptr, lastPresentation);
    }
    if (!Store::ReadInt(IDS_DONT_SHOW, nullptr, dontShow)) {
        dontShow = 0;
        Store::WriteInt(IDS_DONT_SHOW, nullptr, dontShow);
    }
    int count = 0;
    if (!Store::ReadInt(IDS_MESSAGE_COUNT, nullptr, count))
        count = 0;
    highestShown = 0;
    for (const int i : Store::StoredMessages(count)) {
        const std::string subkey = std::to_string(i);
        int number = 0;
        std::int64_t date = 0;
        std::string text;
        if (!Store::ReadInt(IDS_MESSAGE_NUMBER, subkey.c_str(), number) ||
            !Store::ReadTime(IDS_MESSAGE_DATE, subkey.c_str(), date) ||
            !Store::ReadString(IDS_MESSAGE_TEXT, subkey.c_str(), text))
            continue;
        if (number > highestShown)
            highestShown = number;
        // A repeated load finds the list filled already: a number it holds is not added twice.
        if (HoldsNumber(number))
            continue;
        try {
            Append(std::make_unique<CNewsItem>(number, date, std::move(text)));
        } catch (const std::bad_alloc&) {
        }
    }
}

int CNewsManager::Fetch()
{
    std::unique_ptr<CNewsConnection> connection;
    try {
        connection = std::make_unique<CNewsConnection>(host, port);
    } catch (const std::bad_alloc&) {
        return 2;
    }
    if (connection->ConnectWithRetries() != 0 || connection->QuitSeen())
        return 0;
    ::Sleep(100);
    connection->WaitForData();
    connection->ReadAll();
    // A host that quits mid-fetch gets a failed fetch at once; its quit goes back to its queue.
    // A fetch past its overall limit has failed too: a reply cut short by time is not merged.
    if (connection->QuitSeen() || connection->FetchLimitReached())
        return 0;
    if (connection->ReplyLength() > 0) {
        const std::string reply(reinterpret_cast<const char*>(connection->Reply()),
                                static_cast<size_t>(connection->ReplyLength()));
        ApplyReply(reply, Now());
    }
    return 0;
}

void CNewsManager::SaveSettings()
{
    using Store = NewsSettingsStore;
    lastPresentation = Now();
    Store::WriteTime(IDS_LAST_PRESENTATION, nullptr, lastPresentation);
    Store::WriteInt(IDS_DONT_SHOW, nullptr, dontShow);
    Store::WriteInt(IDS_MESSAGE_COUNT, nullptr, static_cast<int>(GetCount()));
    for (std::size_t i = 0; i < GetCount(); ++i) {
        const std::string subkey = std::to_string(i);
        const CNewsItem& item = GetAt(i);
        Store::WriteInt(IDS_MESSAGE_NUMBER, subkey.c_str(), item.number);
        Store::WriteTime(IDS_MESSAGE_DATE, subkey.c_str(), item.date);
        Store::WriteString(IDS_MESSAGE_TEXT, subkey.c_str(), item.text);
    }
    ::Sleep(300);
}

void CNewsManager::SetDontShow(int value)
{
    dontShow = value;
    NewsSettingsStore::WriteInt(IDS_DONT_SHOW, nullptr, value);
}
