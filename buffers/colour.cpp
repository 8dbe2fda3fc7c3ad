// The CMYK and Lab conversions to RGB.
#include "buffers/colour.h"

#include <array>

namespace {

// The lightness curve ((L + 0.05)^1.28 - 0.216113355) x 0.21190331370015586 for the 256 possible L
// values, the power taken as 2^(1.28 log2(L + 0.05)) with correctly rounded exp2 and log2, so that no
// build depends on the last bits of its C runtime's functions. The values are written out because
// not every compiler evaluates those functions at compile time; GCC checks them below.
constexpr std::array<double, 256> kLabLightness = {
    -0x1.51a36cd09ce2ap-5, 0x1.702801c27dd9ep-3, 0x1.f0f5ce70504c8p-2, 0x1.acbba9358b2c8p-1,
    0x1.394dd11afe43fp+0, 0x1.a36395f4a230ap+0, 0x1.09c75d7c7c569p+1, 0x1.4487c9dcacbcp+1,
    0x1.81ab635e773ap+1, 0x1.c0fa393446fe5p+1, 0x1.01239db89ea11p+2, 0x1.22b69c0cbf83fp+2,
    0x1.452670c59ee49p+2, 0x1.6865ba0566acep+2, 0x1.8c68dfe3f7a2fp+2, 0x1.b125ba83cf101p+2,
    0x1.d6934eb1121e8p+2, 0x1.fca99a5219874p+2, 0x1.11b0b61d0ad2dp+3, 0x1.255a222d61d97p+3,
    0x1.394e1d1e33666p+3, 0x1.4d89f41f03668p+3, 0x1.620b2d4468d1fp+3, 0x1.76cf807507c17p+3,
    0x1.8bd4d17d28dc3p+3, 0x1.a1192b0ea5be3p+3, 0x1.b69aba804c1b7p+3, 0x1.cc57cc29c6adep+3,
    0x1.e24ec8408c04dp+3, 0x1.f87e301ff8d5cp+3, 0x1.07724df58811dp+4, 0x1.12c05c3cdb66bp+4,
    0x1.1e28a2c2f013dp+4, 0x1.29aa8a0799ca3p+4, 0x1.35458276ac744p+4, 0x1.40f903c535cdp+4,
    0x1.4cc48c6012cdbp+4, 0x1.58a7a0e998594p+4, 0x1.64a1cbc4612adp+4, 0x1.70b29ca99dbep+4,
    0x1.7cd9a84980853p+4, 0x1.891687f4941cap+4, 0x1.9568d94cf4038p+4, 0x1.a1d03dfe845d7p+4,
    0x1.ae4c5b7d639c4p+4, 0x1.badcdac9eaa39p+4, 0x1.c7816839a5cb5p+4, 0x1.d439b344c3d9ep+4,
    0x1.e1056e5787f5fp+4, 0x1.ede44ea759607p+4, 0x1.fad60c0b17894p+4, 0x1.03ed306b31b46p+5,
    0x1.0a7884dbcbeafp+5, 0x1.110ce2cc19327p+5, 0x1.17aa2abfba85ap+5, 0x1.1e503e3b875c5p+5,
    0x1.24feffb8cf243p+5, 0x1.2bb6529973dd4p+5, 0x1.32761b1ccbd3ep+5, 0x1.393e3e553a3efp+5,
    0x1.400ea21e701c4p+5, 0x1.46e72d1447ff4p+5, 0x1.4dc7c68a30da4p+5, 0x1.54b056831cd59p+5,
    0x1.5ba0c5a9ea495p+5, 0x1.6298fd4a3ddaap+5, 0x1.6998e749c5788p+5, 0x1.70a06e21dcc0cp+5,
    0x1.77af7cd98be14p+5, 0x1.7ec5feffdab4cp+5, 0x1.85e3e0a672505p+5, 0x1.8d090e5c87b87p+5,
    0x1.9435752a0adc4p+5, 0x1.9b69028b155d3p+5, 0x1.a2a3a46b95025p+5, 0x1.a9e549232e057p+5,
    0x1.b12ddf7151b5ep+5, 0x1.b87d567986301p+5, 0x1.bfd39dbfdc25ap+5, 0x1.c730a5258feep+5,
    0x1.ce945ce5d3451p+5, 0x1.d5feb592bd53p+5, 0x1.dd6fa0125ec09p+5, 0x1.e4e70d9bf7c4fp+5,
    0x1.ec64efb54e3b8p+5, 0x1.f3e9383021f9cp+5, 0x1.fb73d927bdacap+5, 0x1.0182627f515c6p+6,
    0x1.054df72e274ddp+6, 0x1.091ca4158c398p+6, 0x1.0cee62cb12b2dp+6, 0x1.10c32d03b958fp+6,
    0x1.149afc92fa255p+6, 0x1.1875cb69e377p+6, 0x1.1c5393963a5e4p+6, 0x1.20344f41a5b12p+6,
    0x1.2417f8b0e177ap+6, 0x1.27fe8a42fa47ep+6, 0x1.2be7fe70902ddp+6, 0x1.2fd44fcb20c56p+6,
    0x1.33c378fc58279p+6, 0x1.37b574c56860fp+6, 0x1.3baa3dfe671c8p+6, 0x1.3fa1cf95b139cp+6,
    0x1.439c248f540fbp+6, 0x1.479938047c1p+6, 0x1.4b990522e8953p+6, 0x1.4f9b872c649bfp+6,
    0x1.53a0b97644314p+6, 0x1.57a89768e6641p+6, 0x1.5bb31c7f3b7edp+6, 0x1.5fc044464f694p+6,
    0x1.63d00a5cd7f1ap+6, 0x1.67e26a72c6e92p+6, 0x1.6bf76048dfd44p+6, 0x1.700ee7b0511b9p+6,
    0x1.7428fc8a508d3p+6, 0x1.78459ac7bb12p+6, 0x1.7c64be68b7707p+6, 0x1.8086637c5c022p+6,
    0x1.84aa8620573e3p+6, 0x1.88d122809af4ap+6, 0x1.8cfa34d70a2e9p+6, 0x1.9125b96b29847p+6,
    0x1.9553ac91d1e97p+6, 0x1.99840aace5c09p+6, 0x1.9db6d02b082cap+6, 0x1.a1ebf987568c9p+6,
    0x1.a62383492400ep+6, 0x1.aa5d6a03b6f6dp+6, 0x1.ae99aa560895cp+6, 0x1.b2d840ea860ffp+6,
    0x1.b7192a76d3b28p+6, 0x1.bb5c63bb91b03p+6, 0x1.bfa1e984229a6p+6, 0x1.c3e9b8a67367dp+6,
    0x1.c833ce02c51p+6, 0x1.cc80268377a12p+6, 0x1.d0cebf1cd6c37p+6, 0x1.d51f94cce7a1ep+6,
    0x1.d972a49b382afp+6, 0x1.ddc7eb98af9ffp+6, 0x1.e21f66df605b6p+6, 0x1.e67913925ad8bp+6,
    0x1.ead4eedd81e2fp+6, 0x1.ef32f5f55fe05p+6, 0x1.f3932616fd432p+6, 0x1.f7f57c87b7fbcp+6,
    0x1.fc59f6951bfb2p+6, 0x1.006048ca5e581p+7, 0x1.0294a57207bd7p+7, 0x1.04ca0ff42387ep+7,
    0x1.0700870717e07p+7, 0x1.0938096506542p+7, 0x1.0b7095cbbad3dp+7, 0x1.0daa2afc9b209p+7,
    0x1.0fe4c7bc969b5p+7, 0x1.12206ad41675dp+7, 0x1.145d130eee49ap+7, 0x1.169abf3c4d05dp+7,
    0x1.18d96e2eae3ap+7, 0x1.1b191ebbcbb7ep+7, 0x1.1d59cfbc8f8adp+7, 0x1.1f9b800d0640bp+7,
    0x1.21de2e8c51865p+7, 0x1.2421da1c9b09fp+7, 0x1.266681a307b46p+7, 0x1.28ac2407ab213p+7,
    0x1.2af2c0357b649p+7, 0x1.2d3a551a4515bp+7, 0x1.2f82e1a69f998p+7, 0x1.31cc64cde1b3ap+7,
    0x1.3416dd8616527p+7, 0x1.36624ac7f19d4p+7, 0x1.38aeab8ec63b6p+7, 0x1.3afbfed87ad8cp+7,
    0x1.3d4a43a57fe0ep+7, 0x1.3f9978f8c5751p+7, 0x1.41e99dd7b193bp+7, 0x1.443ab14a1679p+7,
    0x1.468cb25a292f4p+7, 0x1.48dfa01478562p+7, 0x1.4b337987e3126p+7, 0x1.4d883dc590354p+7,
    0x1.4fddebe0e58cap+7, 0x1.523482ef7f644p+7, 0x1.548c0209282cep+7, 0x1.56e46847d0548p+7,
    0x1.593db4c78644ap+7, 0x1.5b97e6a66e8abp+7, 0x1.5df2fd04bc23ep+7, 0x1.604ef704a8f7dp+7,
    0x1.62abd3ca6e6fcp+7, 0x1.6509927c3e38dp+7, 0x1.676832423b268p+7, 0x1.69c7b246723abp+7,
    0x1.6c2811b4d3cdep+7, 0x1.6e894fbb2cd82p+7, 0x1.70eb6b89205d6p+7, 0x1.734e645020f71p+7,
    0x1.75b239436a7c1p+7, 0x1.7816e997fbc97p+7, 0x1.7a7c748490a7p+7, 0x1.7ce2d9419bc7ep+7,
    0x1.7f4a170940ea5p+7, 0x1.81b22d174f0dep+7, 0x1.841b1aa93acabp+7, 0x1.8684defe18bd9p+7,
    0x1.88ef795698111p+7, 0x1.8b5ae8f4fd1dep+7, 0x1.8dc72d1d1c241p+7, 0x1.90344514541d8p+7,
    0x1.92a2302189a5cp+7, 0x1.9510ed8d21fa9p+7, 0x1.97807ca0fe0ffp+7, 0x1.99f0dca875becp+7,
    0x1.9c620cf053057p+7, 0x1.9ed40cc6cd5bdp+7, 0x1.a146db7b85215p+7, 0x1.a3ba785f7f18ep+7,
    0x1.a62ee2c51ffcp+7, 0x1.a8a41a0028238p+7, 0x1.ab1a1d65af393p+7, 0x1.ad90ec4c20094p+7,
    0x1.b008860b345b2p+7, 0x1.b280e9fbf0e13p+7, 0x1.b4fa1778a135cp+7, 0x1.b7740ddcd3efap+7,
    0x1.b9eecc8556bf2p+7, 0x1.bc6a52d032a1ap+7, 0x1.bee6a01ca8213p+7, 0x1.c163b3cb2ba4fp+7,
    0x1.c3e18d3d61d1ap+7, 0x1.c6602bd61bf73p+7, 0x1.c8df8ef9548e7p+7, 0x1.cb5fb60c2bc37p+7,
    0x1.cde0a074e40f8p+7, 0x1.d0624d9adee28p+7, 0x1.d2e4bce69953p+7, 0x1.d567edc1a8e3bp+7,
    0x1.d7ebdf96b84fcp+7, 0x1.da7091d18468ap+7, 0x1.dcf603ded8fc1p+7, 0x1.df7c352c8dc6ep+7,
    0x1.e20325298379p+7, 0x1.e48ad345a0bccp+7, 0x1.e7133ef1cf51p+7, 0x1.e99c679ff928fp+7,
    0x1.ec264cc3059d2p+7, 0x1.eeb0edced69eep+7, 0x1.f13c4a3845ffdp+7, 0x1.f3c8617522bc6p+7,
    0x1.f65532fc2e556p+7, 0x1.f8e2be451a301p+7, 0x1.fb7102c88501fp+7, 0x1.fdfffffff845ep+7,
};

#if defined(__GNUC__) && !defined(__clang__)
constexpr bool LabLightnessIsExact() {
    for (int l = 0; l < 256; ++l) {
        double power = __builtin_exp2(1.28 * __builtin_log2(l + 0.05));
        if (kLabLightness[l] != (power - 0.216113355) * 0.21190331370015586) return false;
    }
    return true;
}
static_assert(LabLightnessIsExact(), "the lightness table differs from the curve");
#endif

// One third rounded to single precision, used as that value in double arithmetic.
constexpr double kThird = double(0.33333334f);

uint8_t ToByte(double v) {
    if (!(v > 0.0)) return 0;
    if (v > 255.0) return 255;
    return uint8_t(v);
}

}  // namespace

void ConvertCmykPixel(uint8_t c, uint8_t m, uint8_t y, uint8_t k, uint8_t rgb[3]) {
    const float e = float(0.0001 + (255 - k) / 255.0);
    const float f = float(1.0 - e);
    auto density = [&](uint8_t v) {
        // The product is a real quantity: taken in single precision it lands one level off for
        // some inputs.
        double g = e + double(f) * (255 - v) / 255.0;
        if (g > 1.0) g = 1.0;
        return float(255.0 * g);
    };
    const float dc = density(c), dm = density(m), dy = density(y);
    const double r1 = 1.15 * (255.0 - dc);
    const float g1 = float(255.0 - dm);
    const double b1 = 0.85 * (255.0 - dy);
    const double avg = (b1 + g1 + float(r1)) * kThird;
    rgb[0] = ToByte(0.8 * r1 + 0.2 * avg);
    rgb[1] = ToByte(0.6 * g1 + 0.4 * float(avg));
    rgb[2] = ToByte(0.8 * float(b1) + 0.2 * float(avg));
}

void ConvertLabPixel(uint8_t l, uint8_t a, uint8_t b, uint8_t rgb[3]) {
    const double y = kLabLightness[l];
    const float ya = float(3 * (a - 128));
    const double yb = 1.2 * (b - 128);
    const float red = float(float(y) + 0.5 * (ya + 1.0) + yb / 3.0);
    const float green = float(y - 0.5 * ya + yb / 3.0 + 0.5);
    const float blue = float(float(y) - (2.0 / 3.0) * yb + 0.5);
    rgb[0] = ToByte(red);
    rgb[1] = ToByte(green);
    rgb[2] = ToByte(blue);
}
