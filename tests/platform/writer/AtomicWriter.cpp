// A writer of one file in a process of its own, for tests that kill it or
// write beside it: tessaroom-atomic-writer <path> <content> [--hold]. With
// --hold it stops with its temporary file made and locked, just before the
// rename, prints "holding" and goes on when a line arrives on its input.
// Prints "written" and exits 0 once the file holds the content.
#include "platform/AtomicFile.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <path> <content> [--hold]\n", argv[0]);
        return 2;
    }
    namespace AtomicFile = platform::AtomicFile;
    if (argc > 3 && std::strcmp(argv[3], "--hold") == 0) {
        AtomicFile::failNextWrite({.step = AtomicFile::Step::rename, .errorCode = 0, .whenMet = [] {
                                       std::cout << "holding" << std::endl;
                                       std::string line;
                                       std::getline(std::cin, line);
                                   }});
    }
    if (const auto failure = AtomicFile::write(QString::fromLocal8Bit(argv[1]), QByteArray(argv[2]))) {
        std::cout << "failed: " << failure->toStdString() << std::endl;
        return 1;
    }
    std::cout << "written" << std::endl;
    return 0;
}
