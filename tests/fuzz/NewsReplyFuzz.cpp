// News replies of any bytes and length, cut and cleaned as the transport does: the kept list keeps the reply rules.
#include <algorithm>
#include <set>
#include <vector>

#include "FuzzInput.h"
#include "common/IntegerText.h"
#include "news/NewsList.h"
#include "news/NewsReply.h"
#include "news/ReceiveRing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::int64_t now = 1700000000;
    const std::string raw = input.Rest();
    // The transport drops zero bytes on the way in and keeps at most 15 000 bytes of a reply.
    std::string reply;
    for (char c : raw)
        if (c != '\0' && reply.size() < 15000)
            reply += c;

    NewsList list;
    list.ApplyReply(reply, now);
    FUZZ_CHECK(list.GetCount() <= NewsList::KEPT);
    std::set<int> numbers;
    for (std::size_t i = 0; i < list.GetCount(); ++i) {
        const CNewsItem& item = list.GetAt(i);
        FUZZ_CHECK(item.text.find('\n') == std::string::npos);
        FUZZ_CHECK(item.text.find('&') == std::string::npos);
        FUZZ_CHECK(item.text.find('\0') == std::string::npos);
        FUZZ_CHECK(i == 0 || list.GetAt(i - 1).number <= item.number);
        numbers.insert(item.number);
    }
    FUZZ_CHECK(numbers.size() == list.GetCount());  // one message per number

    // The kept numbers are the highest the reply's lines carry.
    std::set<int> offered;
    for (const std::string& line : NewsReply::SplitLines(reply)) {
        const auto fields = NewsReply::SplitFields(line);
        offered.insert(fields.empty() ? 0 : IntegerText::ParseLeading(fields[0]).value_or(0));
        const auto item = NewsReply::ParseLine(line, now);
        FUZZ_CHECK(item && item->number == (fields.empty() ? 0 : IntegerText::ParseLeading(fields[0]).value_or(0)));
        FUZZ_CHECK(item->text == (fields.size() > 2 ? fields[2] : std::string()));
    }
    std::vector<int> highest(offered.rbegin(), offered.rend());
    highest.resize(std::min(highest.size(), NewsList::KEPT));
    FUZZ_CHECK(std::set<int>(highest.begin(), highest.end()) == numbers);
    return 0;
}
