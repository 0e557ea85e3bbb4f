#include "UpdateTest.h"

#include "platform/Lifetime.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

class SignatureTest : public UpdateTest {
protected:
    // A small application bundle with an executable and a resource.
    QString makeBundle(const QString& name)
    {
        const QString root = QDir(home()).filePath(name);
        QDir().mkpath(root + QStringLiteral("/Contents/MacOS"));
        QDir().mkpath(root + QStringLiteral("/Contents/Resources"));
        write(root + QStringLiteral("/Contents/Info.plist"), "<plist><dict/></plist>");
        write(root + QStringLiteral("/Contents/MacOS/Tessaroom"), "#!/bin/sh\necho hello\n");
        write(root + QStringLiteral("/Contents/Resources/icon.png"), QByteArray(3000, 'p'));
        return root;
    }

    static void write(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    }
};

} // namespace

// --- the requirement ---

TEST_F(SignatureTest, TheMakersRequirementReads)
{
    const auto requirement = platform::CodeSignature::parseRequirement(Updates::signingRequirement);
    ASSERT_TRUE(requirement);
    ASSERT_EQ(requirement->clauses.size(), 4u);
    EXPECT_EQ(requirement->clauses[1].slot, QStringLiteral("1"));
    EXPECT_EQ(requirement->clauses[1].value, QStringLiteral("1.2.840.113635.100.6.2.6"));
    EXPECT_EQ(requirement->clauses[3].value, QStringLiteral("4HN7QX2LPD"));
}

TEST_F(SignatureTest, UnknownRequirementTextsDoNotRead)
{
    for (const char* text : {"", "anchor", "anchor apple", "anchor apple generic and",
                             "identifier \"x\"", "certificate leaf[subject.OU] = \"open",
                             "certificate leaf[subject.OU] = team", "certificate middle[field.1.2]",
                             "certificate leaf[field.]", "anchor apple generic or certificate leaf[field.1]"})
        EXPECT_FALSE(platform::CodeSignature::parseRequirement(QString::fromLatin1(text))) << text;
}

// --- images ---

TEST_F(SignatureTest, SignedImageVerifiesAndSigningAgainReplacesTheSignature)
{
    const QString image = makeImage(QStringLiteral("image.dmg"), 10000, &maker_);
    EXPECT_EQ(Updates::verifySignature(image), std::nullopt);
    const qint64 size = QFileInfo(image).size();
    ASSERT_TRUE(sign(image, maker_));
    EXPECT_EQ(QFileInfo(image).size(), size);
    EXPECT_EQ(Updates::verifySignature(image), std::nullopt);
}

TEST_F(SignatureTest, MissingFileIsNotSigned)
{
    EXPECT_EQ(Updates::verifySignature(home() + QStringLiteral("/nothing.dmg")),
              QStringLiteral("the download is not signed"));
}

TEST_F(SignatureTest, TruncatedSignatureIsNotASignature)
{
    const QString image = makeImage(QStringLiteral("image.dmg"), 10000, &maker_);
    QFile file(image);
    file.open(QIODevice::ReadWrite);
    file.resize(file.size() - 3);
    file.close();
    EXPECT_EQ(Updates::verifySignature(image), QStringLiteral("the download is not signed"));
}

TEST_F(SignatureTest, SignatureWithoutTheDeveloperCertificateIsSomeoneElses)
{
    const QString image = makeImage(QStringLiteral("image.dmg"), 1000, nullptr);
    platform::CodeSignature::SigningIdentity identity;
    identity.team = makerTeam;
    identity.certificateFields.erase(QStringLiteral("1"));
    ASSERT_EQ(platform::CodeSignature::sign(image, maker_.key, identity), std::nullopt);
    EXPECT_EQ(platform::CodeSignature::checkValidity(image), platform::Status::noErr);
    EXPECT_EQ(Updates::verifySignature(image), QStringLiteral("the download is signed by someone else"));
}

TEST_F(SignatureTest, SignatureUnderAnotherAnchorIsSomeoneElses)
{
    const QString image = makeImage(QStringLiteral("image.dmg"), 1000, nullptr);
    platform::CodeSignature::SigningIdentity identity;
    identity.team = makerTeam;
    identity.anchor = QStringLiteral("self signed");
    ASSERT_EQ(platform::CodeSignature::sign(image, maker_.key, identity), std::nullopt);
    EXPECT_EQ(Updates::verifySignature(image), QStringLiteral("the download is signed by someone else"));
}

TEST_F(SignatureTest, TheReleaseKeyIsPinnedWhenNoTestKeyIs)
{
    platform::resetSharedInstances();
    const auto pinned = platform::CodeSignature::pinnedKey(makerTeam);
    ASSERT_TRUE(pinned);
    EXPECT_EQ(pinned->size(), 32);
    EXPECT_NE(*pinned, maker_.key.publicKey);
    EXPECT_FALSE(platform::CodeSignature::pinnedKey(QStringLiteral("NOBODY")));
    // So a test key no longer passes for the maker.
    const QString image = makeImage(QStringLiteral("image.dmg"), 1000, nullptr);
    platform::CodeSignature::SigningIdentity identity;
    identity.team = makerTeam;
    ASSERT_EQ(platform::CodeSignature::sign(image, maker_.key, identity), std::nullopt);
    EXPECT_EQ(Updates::verifySignature(image), QStringLiteral("the download is signed by someone else"));
}

// --- bundles ---

TEST_F(SignatureTest, SignedBundleVerifies)
{
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    ASSERT_TRUE(sign(bundle, maker_));
    EXPECT_EQ(Updates::verifySignature(bundle), std::nullopt);
}

TEST_F(SignatureTest, UnsignedBundleIsNotSigned)
{
    EXPECT_EQ(Updates::verifySignature(makeBundle(QStringLiteral("Tessaroom.app"))),
              QStringLiteral("the download is not signed"));
}

TEST_F(SignatureTest, ChangedAddedOrRemovedBundleFilesBreakTheSignature)
{
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    ASSERT_TRUE(sign(bundle, maker_));
    write(bundle + QStringLiteral("/Contents/MacOS/Tessaroom"), "#!/bin/sh\necho evil\n");
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download's signature is broken"));

    ASSERT_TRUE(sign(bundle, maker_));
    write(bundle + QStringLiteral("/Contents/Resources/extra.dylib"), "payload");
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download's signature is broken"));

    ASSERT_TRUE(sign(bundle, maker_));
    QFile::remove(bundle + QStringLiteral("/Contents/Resources/icon.png"));
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download's signature is broken"));
}

TEST_F(SignatureTest, BundleOfAnotherTeamIsSomeoneElses)
{
    const Team other = makeTeam(QStringLiteral("Z9Y8X7W6V5"), true);
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    ASSERT_TRUE(sign(bundle, other));
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download is signed by someone else"));
}

// --- digests ---

TEST_F(SignatureTest, DigestOfAKnownText)
{
    const QString path = QDir(home()).filePath(QStringLiteral("abc"));
    write(path, "abc");
    EXPECT_EQ(Updates::sha256Hex(path),
              QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    EXPECT_EQ(Updates::sha256Hex(home() + QStringLiteral("/missing")), std::nullopt);
}
