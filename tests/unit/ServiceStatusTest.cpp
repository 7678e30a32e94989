// The status channel's format, the service's own SID and the image path's program: what the panel trusts and reads.
#include <gtest/gtest.h>

#include <string>

#include "bridge/core/ImagePathProgram.h"
#include "bridge/core/ServiceSid.h"
#include "bridge/core/ServiceStatusDecoder.h"
#include "bridge/core/ServiceStatusFrame.h"
#include "bridge/core/Sha1.h"

namespace {
ServiceStatus Busy()
{
    ServiceStatus status;
    status.dataPort = 5000;
    status.configPort = 5002;
    status.status = "127.0.0.2";
    status.rate = 19200;
    status.parity = 2;
    status.stopBits = 2;
    status.failure = "Nie można otworzyć portu COM3.";
    status.failureTime = "2026-12-07 14:03:05";
    return status;
}
}

TEST(ServiceStatusDecoder, StatesComeWholeFromAnySplitAndTheNewestWins)
{
    ServiceStatus lost = Busy();
    lost.status = "COM1 odłączony";
    lost.lineLost = true;
    const std::string stream = ServiceStatusFrame::Encode(Busy()) + ServiceStatusFrame::Encode(lost);
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        ServiceStatusDecoder decoder;
        const auto first = decoder.Feed(stream.data(), cut);
        const auto second = decoder.Feed(stream.data() + cut, stream.size() - cut);
        const auto newest = second ? second : first;
        ASSERT_TRUE(newest.has_value()) << cut;
        EXPECT_EQ(*newest, lost) << cut;
        if (first && second) {
            EXPECT_EQ(*first, Busy()) << cut;
        }
    }
    // One byte at a time: a state only at each frame's last byte.
    ServiceStatusDecoder decoder;
    int states = 0;
    for (char c : stream)
        states += decoder.Feed(&c, 1).has_value() ? 1 : 0;
    EXPECT_EQ(states, 2);
}

TEST(ServiceStatusDecoder, AnotherVersionOrAStrangeStreamIsRefusedForGood)
{
    std::string other = ServiceStatusFrame::Encode(Busy());
    other[4] = 2;
    ServiceStatusDecoder newer;
    EXPECT_FALSE(newer.Feed(other.data(), other.size()));
    EXPECT_EQ(newer.GetState(), ServiceStatusDecoder::State::BROKEN);
    EXPECT_NE(newer.Refusal().find("version 2"), std::string::npos);
    const std::string good = ServiceStatusFrame::Encode(Busy());
    EXPECT_FALSE(newer.Feed(good.data(), good.size())) << "a refused stream must stay refused";

    ServiceStatusDecoder strange;
    EXPECT_FALSE(strange.Feed("HTTP/1.1 200 OK\r\n", 17));
    EXPECT_EQ(strange.GetState(), ServiceStatusDecoder::State::BROKEN);

    std::string huge = good.substr(0, 6) + std::string("\xff\xff", 2);
    ServiceStatusDecoder oversized;
    oversized.Feed(huge.data(), huge.size());
    EXPECT_EQ(oversized.GetState(), ServiceStatusDecoder::State::BROKEN) << "a length past the bound must not be waited for";
}

TEST(ServiceStatusFrame, UnknownFieldsArePassedOverAndMissingOnesKeepTheirDefaults)
{
    const std::string payload = "data=5100\nnewer=whatever\nnot a field\nstatus=(brak połączenia)\n";
    std::string frame(ServiceStatusFrame::MAGIC, 4);
    frame += std::string{static_cast<char>(ServiceStatusFrame::VERSION), '\0', static_cast<char>(payload.size()), '\0'};
    ServiceStatusDecoder decoder;
    const auto status = decoder.Feed((frame + payload).data(), frame.size() + payload.size());
    ASSERT_TRUE(status);
    ServiceStatus expected;
    expected.dataPort = 5100;
    expected.status = "(brak połączenia)";
    EXPECT_EQ(*status, expected);
}

TEST(ServiceStatusFrame, ALineBreakOrAnOverlongTextCannotForgeAField)
{
    ServiceStatus status;
    status.failure = "zły plik\nrate=110\r" + std::string(5000, 'x');
    const std::string frame = ServiceStatusFrame::Encode(status);
    EXPECT_LE(frame.size(), ServiceStatusFrame::HEADER_SIZE + ServiceStatusFrame::MAX_PAYLOAD);
    ServiceStatusDecoder decoder;
    const auto read = decoder.Feed(frame.data(), frame.size());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->rate, 0);
    EXPECT_EQ(read->failure.substr(0, 18), "zły plik rate=110 ");
}

TEST(ServiceSid, IsTheSystemsSidOfTheServiceName)
{
    // The system's own, as it reports NT SERVICE\TrustedInstaller; case does not matter.
    EXPECT_EQ(ServiceSid::Of("TrustedInstaller"), "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464");
    EXPECT_EQ(ServiceSid::Of("trustedinstaller"), ServiceSid::Of("TRUSTEDINSTALLER"));
    // SHA-1's own test vector, across a block boundary.
    const auto digest = Sha1::Of("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq");
    EXPECT_EQ(digest[0], 0x84);
    EXPECT_EQ(digest[19], 0xf1);
}

TEST(ImagePathProgram, TakesTheQuotedProgramOrAnUnquotedExeAndNothingElse)
{
    EXPECT_EQ(ImagePathProgram::Of(L"\"C:\\Program Files (x86)\\Vextor\\vextor.exe\" --service"),
              L"C:\\Program Files (x86)\\Vextor\\vextor.exe");
    EXPECT_EQ(ImagePathProgram::Of(L"C:\\Vextor\\VEXTOR.EXE --service"), L"C:\\Vextor\\VEXTOR.EXE");
    EXPECT_EQ(ImagePathProgram::Of(L"C:\\Vextor\\vextor.exe"), L"C:\\Vextor\\vextor.exe");
    for (const wchar_t* bad : {L"", L"   ", L"\"C:\\unclosed.exe --service", L"\"\" --service", L"C:\\Vextor\\vextor.exec",
                               L"C:\\Vextor\\vextor"})
        EXPECT_EQ(ImagePathProgram::Of(bad), L"") << bad;
}
