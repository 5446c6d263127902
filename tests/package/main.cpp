// A program outside the tree that uses the installed library.
#include <base/Exception.h>

#include <cstdio>

int main() {
    try {
        throw quorvel::Exception("consumer ok");
    } catch (const quorvel::Exception& e) {
        std::printf("%s\n", e.Message().c_str());
        return 0;
    }
    return 1;
}
