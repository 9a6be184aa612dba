#include "app/Sha256.h"

#include <gtest/gtest.h>

#include <string>

using namespace Veltara;

namespace {
struct Vector
{
    std::string strInput;
    const char* pstrHex;
};
} // namespace

TEST(Sha256, KnownVectorsAcrossBlockBoundaries)
{
    const Vector vectors[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // 56 bytes: the length no longer fits the first block.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrst"
         "nopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        // Exactly one block of input.
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
    };
    for (const Vector& v : vectors) {
        EXPECT_EQ(Sha256Hex(v.strInput.data(), v.strInput.size()), v.pstrHex) << "length " << v.strInput.size();
        // Fed in uneven pieces the hash is the same.
        for (std::size_t nPiece : {1u, 7u, 63u, 64u, 65u}) {
            CSha256 hash;
            for (std::size_t i = 0; i < v.strInput.size(); i += nPiece)
                hash.Update(v.strInput.data() + i, std::min(nPiece, v.strInput.size() - i));
            EXPECT_EQ(hash.Finish(), Sha256(v.strInput.data(), v.strInput.size()))
                << "length " << v.strInput.size() << " in pieces of " << nPiece;
        }
    }
}

TEST(Sha256, ExpectedHashMustBeSixtyFourMatchingHexDigits)
{
    const std::string data = "abc";
    const std::string good = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    std::string upper = good;
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    std::string lastDigitOff = good;
    lastDigitOff.back() = 'c';
    const struct
    {
        std::string strExpected;
        bool bMatch;
    } cases[] = {
        {good, true},
        {upper, true},
        {lastDigitOff, false},
        {good.substr(0, 63), false},
        {good + "0", false},
        {"", false},
        {good.substr(0, 62) + "zz", false},
        {"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015a" + std::string("\xad"), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Sha256Matches(data.data(), data.size(), c.strExpected.c_str()), c.bMatch) << c.strExpected;
    EXPECT_FALSE(Sha256Matches(data.data(), data.size(), nullptr));
}
