// Writes the alert sound, a short two-tone beep, as a 16-bit mono WAV file:
//   make_sysbeep OUTPUT.wav
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

constexpr int rate = 22050;

void put16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t value) {
    put16(out, static_cast<uint16_t>(value & 0xFFFF));
    put16(out, static_cast<uint16_t>(value >> 16));
}

void put4(std::vector<uint8_t>& out, const char* text) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(text[i]));
}

// A tone of `seconds` at `frequency`, with soft edges so that it does not click.
void tone(std::vector<int16_t>& samples, double frequency, double seconds) {
    const int count = static_cast<int>(seconds * rate), edge = rate / 200;
    for (int i = 0; i < count; ++i) {
        const double envelope = std::min({1.0, double(i) / edge, double(count - 1 - i) / edge});
        const double t = double(i) / rate;
        // A little of the third harmonic gives the plain sine an old computer's edge.
        const double wave =
            std::sin(2 * std::numbers::pi * frequency * t) + 0.25 * std::sin(2 * std::numbers::pi * 3 * frequency * t);
        samples.push_back(static_cast<int16_t>(std::lround(9000 * envelope * wave)));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make_sysbeep OUTPUT.wav\n", stderr);
        return 2;
    }
    std::vector<int16_t> samples;
    tone(samples, 1046.5, 0.07);
    tone(samples, 784.0, 0.09);

    const auto dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<uint8_t> out;
    put4(out, "RIFF");
    put32(out, 36 + dataBytes);
    put4(out, "WAVE");
    put4(out, "fmt ");
    put32(out, 16);        // size of the format chunk
    put16(out, 1);         // PCM
    put16(out, 1);         // mono
    put32(out, rate);      // samples a second
    put32(out, rate * 2);  // bytes a second
    put16(out, 2);         // bytes a sample
    put16(out, 16);        // bits a sample
    put4(out, "data");
    put32(out, dataBytes);
    for (int16_t sample : samples) put16(out, static_cast<uint16_t>(sample));

    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    if (std::fclose(file) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
