// The com-port session on any bytes in any split: splits change nothing, output stays in proportion, data and commands come through whole.
#include <algorithm>
#include <vector>

#include "FuzzInput.h"
#include "bridge/core/Rfc2217Session.h"

namespace {
using S = Rfc2217Session;
const std::string SIGNATURE = "Vextor 1.0 \xFF";

// The output of a whole run, with the number of feeds that reached an agreement (a client may drop
// the option and agree again: within one feed that is one agreement, across two it is two).
struct Fed {
    S::Output out;
    std::size_t agreements = 0;
    bool agreed = false;
};

Fed Feed(const std::string& bytes, const std::vector<std::size_t>& cuts)
{
    S session(SIGNATURE);
    Fed fed;
    for (std::size_t at = 0, cut = 0; at < bytes.size(); ++cut) {
        const std::size_t piece = std::min(cuts.empty() ? bytes.size() : cuts[cut % cuts.size()], bytes.size() - at);
        session.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()) + at, piece, fed.out);
        fed.agreements += fed.out.comPortAgreed;
        fed.out.comPortAgreed = false;
        at += piece;
    }
    fed.agreed = session.ComPortAgreed();
    FUZZ_CHECK(fed.agreements > 0 || !fed.agreed);
    return fed;
}

bool Same(const Fed& x, const Fed& y)
{
    const S::Output& a = x.out;
    const S::Output& b = y.out;
    if ((x.agreements > 0) != (y.agreements > 0) || x.agreed != y.agreed || a.line != b.line || a.client != b.client || a.commands.size() != b.commands.size())
        return false;
    for (std::size_t i = 0; i < a.commands.size(); ++i)
        if (a.commands[i].code != b.commands[i].code || a.commands[i].value != b.commands[i].value ||
            a.commands[i].lineOffset != b.commands[i].lineOffset)
            return false;
    return true;
}

// What the session said to the client, read as a client reads it: every byte must belong to a
// negotiation answer or a com-port reply.
struct Answers {
    std::vector<std::uint8_t> replies;  // reply codes in order
    std::size_t negotiations = 0;
    std::size_t refusals[2][256] = {};
};

Answers Read(const std::string& text)
{
    const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::size_t n = text.size();
    Answers answers;
    for (std::size_t i = 0; i < n;) {
        FUZZ_CHECK(i + 2 < n && s[i] == S::IAC);
        if (s[i + 1] >= S::WILL && s[i + 1] <= S::DONT) {
            ++answers.negotiations;
            if (s[i + 1] == S::WONT || s[i + 1] == S::DONT)
                ++answers.refusals[s[i + 1] == S::DONT][s[i + 2]];
            i += 3;
            continue;
        }
        FUZZ_CHECK(s[i + 1] == S::SB && i + 3 < n && s[i + 2] == S::OPTION_COM_PORT && s[i + 3] >= S::REPLY_OFFSET);
        answers.replies.push_back(s[i + 3]);
        std::size_t j = i + 4;
        for (; j + 1 < n && !(s[j] == S::IAC && s[j + 1] == S::SE); ++j)
            if (s[j] == S::IAC)
                FUZZ_CHECK(s[++j] == S::IAC);
        FUZZ_CHECK(j + 1 < n);
        i = j + 2;
    }
    return answers;
}

void Append(std::string& wire, std::initializer_list<std::uint8_t> bytes)
{
    for (std::uint8_t b : bytes)
        wire.push_back(static_cast<char>(b));
}
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::vector<std::size_t> cuts = input.Cuts();
    const std::string rest = input.Rest();

    // Any bytes at all: a split changes nothing, and every output is in proportion to the input.
    const Fed fed = Feed(rest, {});
    FUZZ_CHECK(Same(fed, Feed(rest, cuts)));
    const S::Output& whole = fed.out;
    const std::size_t n = rest.size();
    FUZZ_CHECK(whole.line.size() <= n);
    FUZZ_CHECK(whole.commands.size() <= n / 6);
    FUZZ_CHECK(whole.client.size() <= 2 * n + n / 6 * 2 * SIGNATURE.size());
    const Answers raw = Read(whole.client);
    for (const auto& side : raw.refusals)
        for (std::size_t option = 0; option < 256; ++option)
            FUZZ_CHECK(option == S::OPTION_BINARY || option == S::OPTION_SGA || option == S::OPTION_COM_PORT ||
                       side[option] <= 1);

    // The same bytes as a script of well-formed items after the client's WILL BINARY: the data
    // comes out as it went in, and every complete command gives exactly one reply or line command.
    FuzzInput script(reinterpret_cast<const std::uint8_t*>(rest.data()), rest.size());
    std::string wire, line;
    std::vector<Rfc2217Command> commands;
    std::vector<std::uint8_t> replies;
    std::size_t requests = 1;
    Append(wire, {S::IAC, S::WILL, S::OPTION_BINARY});
    while (!script.Empty()) {
        const std::uint8_t op = script.Byte();
        if (op % 4 == 0) {
            const std::string run = script.Bytes(1 + op / 4);
            line += run;
            S::AppendEscaped(wire, reinterpret_cast<const std::uint8_t*>(run.data()), run.size());
        } else if (op % 4 == 1) {
            // Any option but BINARY, whose loss would bring the CR NUL rule back.
            const std::uint8_t option = std::max<std::uint8_t>(1, script.Byte());
            Append(wire, {S::IAC, static_cast<std::uint8_t>(S::WILL + op / 4 % 4), option});
            ++requests;
        } else if (op % 4 == 2) {
            Append(wire, {S::IAC, static_cast<std::uint8_t>(241 + op / 4 % 9)});  // NOP to GA
        } else {
            const std::uint8_t code = op / 4 % 13;
            std::uint8_t value[4] = {script.Byte(), script.Byte(), script.Byte(), script.Byte()};
            std::size_t length = 1;
            std::uint32_t number = value[0];
            if (code == 0 || code == 6 || code == 7 || code == 8 || code == 9)
                length = 0, number = 0;
            else if (code == Rfc2217Command::SET_BAUDRATE)
                length = 4, number = std::uint32_t(value[0]) << 24 | value[1] << 16 | value[2] << 8 | value[3];
            else if (code == Rfc2217Command::SET_CONTROL)
                number = value[0] = value[0] % 20;
            else if (code == Rfc2217Command::PURGE_DATA)
                number = value[0] = 1 + value[0] % 3;
            Append(wire, {S::IAC, S::SB, S::OPTION_COM_PORT, code});
            S::AppendEscaped(wire, value, length);
            Append(wire, {S::IAC, S::SE});
            if (code == 0 || code == 6 || code == 7 || code == 10 || code == 11)
                replies.push_back(static_cast<std::uint8_t>(code + S::REPLY_OFFSET));
            else
                commands.push_back({code, number, line.size()});
        }
    }
    const S::Output out = Feed(wire, cuts).out;
    FUZZ_CHECK(out.line == line);
    FUZZ_CHECK(out.commands.size() == commands.size());
    for (std::size_t i = 0; i < commands.size(); ++i)
        FUZZ_CHECK(out.commands[i].code == commands[i].code && out.commands[i].value == commands[i].value &&
                   out.commands[i].lineOffset == commands[i].lineOffset);
    const Answers answers = Read(out.client);
    FUZZ_CHECK(answers.replies == replies);
    FUZZ_CHECK(answers.negotiations <= requests);
    return 0;
}
