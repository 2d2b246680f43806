// Built with the flags pkg-config gives for rarivoredu.
#include <iostream>
#include <rarivoredu/Models.h>
#include <rarivoredu/Version.h>

int main() {
    std::cout << "RarivOredu " << rarivoredu::api::version << " models in "
              << rarivoredu::api::Models::directory().string() << "\n";
    return 0;
}
