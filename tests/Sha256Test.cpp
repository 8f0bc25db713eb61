// SHA-256 against the published test vectors (FIPS 180-4's examples and the one-million-'a'
// message) and against digests of messages around the padding boundaries (55, 56 and 64 bytes:
// where the length no longer fits the last block), computed with another implementation.
#include <gtest/gtest.h>

#include <string>

#include "platform/Sha256.h"

namespace {

using QuanPlatform::Sha256;
using QuanPlatform::Sha256Hex;

TEST(Sha256, GivesThePublishedDigestsAndPadsEveryLengthAroundABlockBoundary) {
    const struct {
        std::string message, digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {std::string(55, 'x'), "d5e285683cd4efc02d021a5c62014694958901005d6f71e89e0989fac77e4072"},
        {std::string(56, 'x'), "04c26261370ee7541549d16dee320c723e3fd14671e66a099afe0a377c16888e"},
        {std::string(57, 'x'), "ae14a2563ccf969d99aca69ce6bb74981f734bbf9f655f73b8f06db68cab5217"},
        {std::string(63, 'x'), "75220b47218278e656f2013bb8f0c455a25eaf01e86c64924e9d48d89776d6f2"},
        {std::string(64, 'x'), "7ce100971f64e7001e8fe5a51973ecdfe1ced42befe7ee8d5fd6219506b5393c"},
        {std::string(65, 'x'), "9537c5fdf120482f7d58d25e9ed583f52c02b4e304ea814db1633ad565aed7e9"},
        {std::string(119, 'x'), "000b48d4edf0fa7bee3c6236ecd2785baa5db4eeb8bb54341b029e0d9fa5fb0c"},
        {std::string(120, 'x'), "13f05a0b594787f5ecd315edc96141bd3243203d1b7d4f0836f37308b276ba98"},
    };
    for (const auto& c : cases) EXPECT_EQ(Sha256Hex(c.message), c.digest) << c.message.size() << " bytes";
}

TEST(Sha256, PiecesGiveTheDigestOfTheWholeAndAFinishedHasherStartsAfresh) {
    const std::string message(200, 'q');
    const std::string whole = Sha256Hex(message);
    Sha256 hasher;
    for (size_t piece : {1u, 7u, 63u, 64u, 65u}) {
        for (size_t at = 0; at < message.size(); at += piece) hasher.Add(message.substr(at, piece));
        EXPECT_EQ(hasher.FinishHex(), whole) << "pieces of " << piece;
    }
    EXPECT_EQ(hasher.FinishHex(), Sha256Hex(""));  // reused with nothing added
}

}  // namespace
