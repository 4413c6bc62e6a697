// Build-time tool: turns a firmware image description (firmware/image/*.tarn) and its program
// bytes into a C++ source of constant TarnPacket and TarnSegment records and GetTarnBase.
//
//   velmor_tarn_generator <description> <output.cpp>
//
// Program files are named relative to the description. The identity trailer, when asked for, is
// made here from the description's identity and the byte sum of the bytes carried, so that the
// device accepts the image it is given.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "device/flash_trailer.h"

namespace {

struct Segment {
  std::uint32_t address = 0;
  std::vector<std::uint8_t> bytes;
};

struct Image {
  int target = 0;
  int region = 0;
  unsigned version = 0;
  unsigned day = 0, month = 0, year = 0;
  unsigned hour = 0, minute = 0, second = 0;
  unsigned reserved = 0;
  std::vector<Segment> segments;
  bool trailer = false;
  std::uint32_t trailerAddress = 0;
};

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

unsigned long Number(const std::string& text, const std::string& key) {
  std::size_t used = 0;
  const unsigned long value = std::stoul(text, &used, 0);
  if (used != text.size()) throw std::runtime_error("bad number for " + key + ": " + text);
  return value;
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Image ReadDescription(const std::filesystem::path& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot open " + path.string());
  Image image;
  std::string line;
  while (std::getline(in, line)) {
    line = Trim(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos) throw std::runtime_error("not a key = value line: " + line);
    const std::string key = Trim(line.substr(0, eq));
    const std::string value = Trim(line.substr(eq + 1));
    if (key == "target") {
      image.target = static_cast<int>(Number(value, key));
    } else if (key == "region") {
      image.region = static_cast<int>(Number(value, key));
    } else if (key == "version") {
      image.version = static_cast<unsigned>(Number(value, key));
    } else if (key == "reserved") {
      image.reserved = static_cast<unsigned>(Number(value, key));
    } else if (key == "date") {
      if (std::sscanf(value.c_str(), "%u.%u.%u", &image.day, &image.month, &image.year) != 3) {
        throw std::runtime_error("date is not dd.mm.yyyy: " + value);
      }
    } else if (key == "time") {
      if (std::sscanf(value.c_str(), "%u:%u:%u", &image.hour, &image.minute, &image.second) != 3) {
        throw std::runtime_error("time is not hh:mm:ss: " + value);
      }
    } else if (key == "segment") {
      std::istringstream fields(value);
      std::string address, file;
      fields >> address >> file;
      Segment segment;
      segment.address = static_cast<std::uint32_t>(Number(address, key));
      segment.bytes = ReadBytes(path.parent_path() / file);
      image.segments.push_back(std::move(segment));
    } else if (key == "trailer") {
      image.trailer = true;
      image.trailerAddress = static_cast<std::uint32_t>(Number(value, key));
    } else {
      throw std::runtime_error("unknown key: " + key);
    }
  }
  if (image.segments.empty()) throw std::runtime_error("the image has no segment");
  return image;
}

// The trailer the device checks: identity, then the byte sum of the whole application region
// with everything the image leaves unwritten counted as erased.
Segment MakeTrailer(const Image& image) {
  if (image.trailerAddress != flash::kTrailerAddress) {
    throw std::runtime_error("the trailer belongs at the top of the application region");
  }
  std::vector<std::uint8_t> region(flash::kApplicationEnd - flash::kApplicationStart,
                                   flash::kErased);
  for (const Segment& s : image.segments) {
    if (s.address < flash::kApplicationStart ||
        s.bytes.size() > flash::kTrailerAddress - s.address) {
      throw std::runtime_error("a segment lies outside the application region below the trailer");
    }
    std::copy(s.bytes.begin(), s.bytes.end(),
              region.begin() + (s.address - flash::kApplicationStart));
  }
  flash::Trailer trailer;
  trailer.region = static_cast<std::uint16_t>(image.region);
  trailer.major = static_cast<std::uint16_t>(image.version & 0x3F);
  trailer.minor = static_cast<std::uint16_t>(image.version >> 6);
  trailer.day = static_cast<std::uint16_t>(image.day);
  trailer.month = static_cast<std::uint16_t>(image.month);
  trailer.year = static_cast<std::uint16_t>(image.year);
  Segment segment;
  segment.address = image.trailerAddress;
  segment.bytes.resize(flash::kTrailerSize);
  trailer.Encode(segment.bytes.data());  // sum still 0: the sum covers the fields before it
  std::copy(segment.bytes.begin(), segment.bytes.end(),
            region.begin() + (flash::kTrailerAddress - flash::kApplicationStart));
  trailer.sum = flash::ApplicationSum(region);
  trailer.Encode(segment.bytes.data());
  return segment;
}

void WritePacket(std::ostream& out, const char* name, const Image& image, const char* next,
                 std::uint32_t kind, const char* segments) {
  out << "constexpr TarnPacket " << name << "{" << next << ", " << kind << "u, " << image.reserved
      << "u, " << image.target << ", " << image.region << ", " << image.version << "u, "
      << image.day << "u, " << image.month << "u, " << image.year << "u, " << image.hour << "u, "
      << image.minute << "u, " << image.second << "u, {}, " << segments << "};\n";
}

void WriteSource(std::ostream& out, const Image& image, const std::string& input) {
  out << "// Generated from " << input << " by velmor_tarn_generator. Do not edit.\n\n"
      << "#include \"firmware/tarn_packet.h\"\n\nnamespace {\n\n";
  const std::size_t n = image.segments.size();
  for (std::size_t i = 0; i < n; ++i) {
    const auto& bytes = image.segments[i].bytes;
    out << "constexpr std::uint8_t kSegment" << i << "Bytes[] = {";
    char hex[8];
    for (std::size_t b = 0; b < bytes.size(); ++b) {
      out << (b % 16 == 0 ? "\n   " : "");
      std::snprintf(hex, sizeof hex, " 0x%02X,", bytes[b]);
      out << hex;
    }
    out << "\n};\n\n";
  }
  // Chain order is file order; later segments are defined first so the pointers exist.
  for (std::size_t i = n; i-- > 0;) {
    char address[16];
    std::snprintf(address, sizeof address, "0x%08Xu",
                  static_cast<unsigned>(image.segments[i].address));
    const std::string next = i + 1 < n ? "&kSegment" + std::to_string(i + 1) : "nullptr";
    out << "constexpr TarnSegment kSegment" << i << "{" << address << ", "
        << image.segments[i].bytes.size() << "u, " << next << ", kSegment" << i << "Bytes};\n";
  }
  out << "\n";
  WritePacket(out, "kImage", image, "nullptr", 10, "&kSegment0");
  WritePacket(out, "kHead", image, "&kImage", 1, "nullptr");
  out << "\nconstexpr const TarnPacket* kTarnBase = &kHead;\n\n}  // namespace\n\n"
      << "extern \"C\" const TarnPacket* GetTarnBase() { return kTarnBase; }\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: velmor_tarn_generator <description> <output.cpp>\n");
    return 2;
  }
  try {
    Image image = ReadDescription(argv[1]);
    if (image.trailer) image.segments.push_back(MakeTrailer(image));
    std::ostringstream text;
    WriteSource(text, image, std::filesystem::path(argv[1]).filename().string());
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << text.str();
    if (!out.flush()) throw std::runtime_error(std::string("cannot write ") + argv[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "velmor_tarn_generator: %s\n", e.what());
    return 1;
  }
  return 0;
}
