// tessaroom-sign: makes signing keys and signs disk images and app bundles.
//
//   tessaroom-sign keygen                      prints "<private> <public>" (base64)
//   tessaroom-sign sign KEYFILE TEAM PATH      KEYFILE holds the base64 private key
//   tessaroom-sign verify PATH                 prints the validity status (and why it is not 0)
#include "platform/CodeSignature.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

int usage()
{
    std::fputs("usage: tessaroom-sign keygen | sign KEYFILE TEAM PATH | verify PATH\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    using namespace platform;
    if (arguments.value(0) == QLatin1String("keygen") && arguments.size() == 1) {
        const auto key = CodeSignature::generateKey();
        std::printf("%s %s\n", key.privateKey.toBase64().constData(), key.publicKey.toBase64().constData());
        return key.privateKey.isEmpty() ? 1 : 0;
    }
    if (arguments.value(0) == QLatin1String("sign") && arguments.size() == 4) {
        QFile keyFile(arguments[1]);
        if (!keyFile.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read the key: %s\n", qPrintable(keyFile.errorString()));
            return 1;
        }
        const auto key = CodeSignature::keyFromPrivate(QByteArray::fromBase64(keyFile.readAll().trimmed()));
        if (!key) {
            std::fputs("the key file holds no Ed25519 private key\n", stderr);
            return 1;
        }
        CodeSignature::SigningIdentity identity;
        identity.team = arguments[2];
        if (const auto error = CodeSignature::sign(arguments[3], *key, identity)) {
            std::fprintf(stderr, "%s\n", qPrintable(*error));
            return 1;
        }
        return 0;
    }
    if (arguments.value(0) == QLatin1String("verify") && arguments.size() == 2) {
        QString reason;
        const OSStatus status = CodeSignature::checkValidity(arguments[1], &reason);
        std::printf("%d\n", int(status));
        if (status != 0)
            std::fprintf(stderr, "%s\n", qPrintable(reason));
        return status == 0 ? 0 : 1;
    }
    return usage();
}
