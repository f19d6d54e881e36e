// Prints the distribution tags of an executable as the installer reads
// them: "certificates=<tag>", "error=<0|1|2>" and "block=<tag>" lines.
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include "lite_installer/brand/installer_tag.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: read_tag FILE\n";
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  if (!file) {
    std::cerr << "read_tag: cannot open " << argv[1] << "\n";
    return 2;
  }
  std::vector<uint8_t> data((std::istreambuf_iterator<char>(file)), {});
  lite::CertificateTag tag = lite::ExtractTagFromCertificateTable(data);
  std::cout << "certificates=" << tag.tag << "\n"
            << "error=" << static_cast<int>(tag.error) << "\n"
            << "block=" << lite::ReadTagBlockFromBytes(data) << "\n";
  return 0;
}
