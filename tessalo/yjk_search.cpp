#include "yjk_search.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "screen_file.h"

// ---- colours and their error ----------------------------------------------

int shownLevel(int level) { return level * 255 / 31; } // truncates: 31 gives exactly 255

static float srgbToLinear(float level) {
    const float c = level / 255.0f;
    return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}

static float labCurve(float t) {
    constexpr float edge = 216.0f / 24389.0f; // (6/29)^3
    return t > edge ? std::cbrt(t) : t * (24389.0f / 3132.0f) + 4.0f / 29.0f;
}

static MetricColour labOf(const float rgb[3]) {
    const float r = srgbToLinear(rgb[0]), g = srgbToLinear(rgb[1]), b = srgbToLinear(rgb[2]);
    // sRGB primaries to XYZ, each divided by the D65 white's X, Y or Z.
    const float x = (0.4124564f * r + 0.3575761f * g + 0.1804375f * b) / 0.95047f;
    const float y = 0.2126729f * r + 0.7151522f * g + 0.0721750f * b;
    const float z = (0.0193339f * r + 0.1191920f * g + 0.9503041f * b) / 1.08883f;
    const float fx = labCurve(x), fy = labCurve(y), fz = labCurve(z);
    return {{116.0f * fy - 16.0f, 500.0f * (fx - fy), 200.0f * (fy - fz)}};
}

MetricColour metricColourOf(const ColourSpace& space, const float rgb[3]) {
    if (space.metric == ErrorMetric::lab) return labOf(rgb);
    return {{rgb[0], rgb[1], rgb[2]}};
}

float colourError(const MetricColour& a, const MetricColour& b) {
    const float d0 = a.v[0] - b.v[0], d1 = a.v[1] - b.v[1], d2 = a.v[2] - b.v[2];
    return d0 * d0 + d1 * d1 + d2 * d2;
}

ColourSpace makeColourSpace(ErrorMetric metric) {
    ColourSpace space;
    space.metric = metric;
    space.shown.resize(32768);
    for (int index = 0; index < 32768; ++index) {
        const float rgb[3] = {float(shownLevel(index >> 10)), float(shownLevel((index >> 5) & 31)),
                              float(shownLevel(index & 31))};
        space.shown[std::size_t(index)] = metricColourOf(space, rgb);
    }
    return space;
}

static const MetricColour& shownColour(const ColourSpace& space, const ScreenColour& c) {
    return space.shown[std::size_t((c.red << 10) | (c.green << 5) | c.blue)];
}

// ---- one pixel --------------------------------------------------------------

// 8-bit levels per 5-bit level: a shown colour is this times its levels,
// less the DAC's truncation (under 1).
constexpr float levelScale = 255.0f / 31.0f;

// The Y values that can be best for a target under J and K. Each channel the
// chip shows only grows with Y, so a channel's error falls until the channel
// reaches its target and rises after. Below the smallest of the three
// crossings every channel's error falls with Y, above the largest every one
// rises: the best Y lies between them. The crossings are worked out on the
// continuous scale; one step more each side covers blue's rounding (under
// half a level, so under 0.4 of a Y step) and the DAC's truncation (under
// 0.13 of a level). With 4-bit Y the range widens to even ends.
static void yRange(int yStep, int j, int k, const float rgb[3], int& lowest, int& highest) {
    const float red = rgb[0] / levelScale, green = rgb[1] / levelScale,
                blue = rgb[2] / levelScale;
    const float fromRed = red - float(j), fromGreen = green - float(k),
                fromBlue = (4.0f * blue + 2.0f * float(j) + float(k)) / 5.0f;
    const float low = std::min({fromRed, fromGreen, fromBlue}) - 1.0f;
    const float high = std::max({fromRed, fromGreen, fromBlue}) + 1.0f;
    lowest = std::clamp(int(std::floor(low)), 0, 31);
    highest = std::clamp(int(std::ceil(high)), 0, 31);
    if (yStep == 2) {
        lowest &= ~1;                        // down to even
        highest = std::min(30, (highest + 1) & ~1); // up to even, 30 at most
    }
}

// The best Y of the range for the target; its error is infinite when every
// Y's error reaches the limit.
static PixelChoice bestY(const ColourSpace& space, int yStep, int j, int k,
                         const PixelTarget& target, float limit) {
    int lowest = 0, highest = 0;
    yRange(yStep, j, k, target.rgb, lowest, highest);
    PixelChoice best;
    best.y = lowest;
    best.error = limit;
    for (int y = lowest; y <= highest; y += yStep) {
        const float error = colourError(shownColour(space, machineColour({y, j, k})), target.metric);
        if (error < best.error) best.y = y, best.error = error;
    }
    if (best.error >= limit) best.error = std::numeric_limits<float>::infinity();
    return best;
}

PixelChoice choosePixel(const ColourSpace& space, int yStep, int j, int k,
                        const PixelTarget& target) {
    PixelChoice choice = bestY(space, yStep, j, k, target, std::numeric_limits<float>::infinity());
    if (target.palette >= 0 && target.paletteError < choice.error) {
        choice.palette = target.palette;
        choice.error = target.paletteError;
    }
    return choice;
}

// ---- the search of a group's J and K ---------------------------------------
//
// Before clamping and rounding, the colours the chip makes of one J, K pair
// lie on a line: in 8-bit levels, s (J a + K b) + s Y v with s = 255/31,
// a = (1, 0, -1/2), b = (0, 1, -1/4) and v = (1, 1, 5/4). Every line runs
// along v, so a target's squared distance from the line of (J, K) is
// |P (T - s J a - s K b)|^2, where P takes out the part along v; summed over
// the group's m targets it is a quadratic in (J, K),
//   Q(J, K) = Qmin + m s^2 (u - c)' G (u - c),  u = (J, K),
// with G the Gram matrix of P a and P b (the same for every group) and c its
// least-squares centre, which the mean target gives in closed form.
//
// The search visits pairs from the integer pair nearest c outwards, in order
// of their offset's length |d| in the G metric (a list made once), and tries
// each: every pixel gets its best Y (a few candidates, see yRange), and the
// pair's sum stops as soon as it reaches the best sum so far.
//
// With the RGB metric it also stops the whole search once no pair left can
// win. A pair's shown colour either has no channel at 0 or 255, and then
// lies within sigma = 4.7 levels of its line point (blue's rounding and the
// DAC's truncation), or lies on a face of the colour cube. So each pixel's
// error is at least min((sqrt(q) - sigma)^2, f), q its distance from the
// line and f its distance from the nearest face (or its palette colour's
// error, when less). The sum of such minimums is at least the smaller of
// (a) Q - 2 sigma sqrt(m Q), which grows with Q, and (b) the smallest f. For
// an offset d from the rounded centre r, with c - r of length |f| in the
// G metric, Q >= Qmin + m s^2 (|d| - |f|)^2, which grows along the list.
// Once both bounds reach the best sum, every pair still to come has a sum
// at least as large, and the search ends. Most groups end within the first
// few pairs; groups with a pixel near black, white or a pure colour end at
// the list's end instead, which by default covers a disc that holds the
// 9 x 9 window around the centre (every pair with fullSearch).
//
// The Lab metric has no such bound: there the search tries every pair of the
// list, still in that order, with the same early end of each pair's sum.

constexpr float lineSlack = 4.7f; // sqrt(1 + 1 + 4.11^2), in 8-bit levels

static float dot3(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

static float gNorm(const SearchPlan& plan, float dj, float dk) {
    const float square = plan.gram[0][0] * dj * dj + 2.0f * plan.gram[0][1] * dj * dk +
                         plan.gram[1][1] * dk * dk;
    return std::sqrt(std::max(0.0f, square));
}

SearchPlan makeSearchPlan(bool fullSearch) {
    SearchPlan plan;
    const float a[3] = {1.0f, 0.0f, -0.5f}, b[3] = {0.0f, 1.0f, -0.25f}, v[3] = {1.0f, 1.0f, 1.25f};
    const float vv = dot3(v, v), av = dot3(a, v) / vv, bv = dot3(b, v) / vv;
    for (int i = 0; i < 3; ++i) {
        plan.jDirection[i] = a[i] - av * v[i];
        plan.kDirection[i] = b[i] - bv * v[i];
    }
    plan.gram[0][0] = dot3(plan.jDirection, plan.jDirection);
    plan.gram[0][1] = plan.gram[1][0] = dot3(plan.jDirection, plan.kDirection);
    plan.gram[1][1] = dot3(plan.kDirection, plan.kDirection);
    const float determinant = plan.gram[0][0] * plan.gram[1][1] - plan.gram[0][1] * plan.gram[0][1];
    plan.inverseGram[0][0] = plan.gram[1][1] / determinant;
    plan.inverseGram[1][1] = plan.gram[0][0] / determinant;
    plan.inverseGram[0][1] = plan.inverseGram[1][0] = -plan.gram[0][1] / determinant;
    // The disc that holds the corners of the 9 x 9 window in the G metric.
    float reach = 0;
    for (int dj : {-4, 4})
        for (int dk : {-4, 4}) reach = std::max(reach, gNorm(plan, float(dj), float(dk)));
    // Offsets up to 63 reach every pair from any centre in -32..31.
    for (int dj = -63; dj <= 63; ++dj)
        for (int dk = -63; dk <= 63; ++dk) {
            const float norm = gNorm(plan, float(dj), float(dk));
            if (fullSearch || norm <= reach + 1e-4f) plan.offsets.push_back({dj, dk, norm});
        }
    std::stable_sort(plan.offsets.begin(), plan.offsets.end(),
                     [](const SearchPlan::Offset& x, const SearchPlan::Offset& y) {
                         return x.norm < y.norm;
                     });
    return plan;
}

// The group's sum for one pair, ended as soon as it reaches limit.
static GroupChoice tryPair(const ColourSpace& space, int yStep, const PixelTarget* targets,
                           int count, int j, int k, float limit) {
    GroupChoice choice;
    choice.j = j, choice.k = k;
    for (int n = 0; n < count && choice.error < limit; ++n) {
        const PixelTarget& target = targets[n];
        PixelChoice pixel = bestY(space, yStep, j, k, target, limit - choice.error);
        if (target.palette >= 0 && target.paletteError < pixel.error) {
            pixel.palette = target.palette;
            pixel.error = target.paletteError;
        }
        choice.pixels[n] = pixel;
        choice.error += pixel.error;
    }
    return choice;
}

// The least-squares centre c of the group's pairs, Qmin, and the smallest
// distance f of a target from a cube face or from its palette colour.
struct GroupGeometry {
    float centreJ = 0, centreK = 0;
    float leastSum = 0;
    float nearestFace = 0;
};

static GroupGeometry groupGeometry(const SearchPlan& plan, const PixelTarget* targets, int count) {
    const float v[3] = {1.0f, 1.0f, 1.25f};
    const float vv = dot3(v, v);
    GroupGeometry geometry;
    float sumJ = 0, sumK = 0, projected = 0;
    geometry.nearestFace = std::numeric_limits<float>::max();
    for (int n = 0; n < count; ++n) {
        const float* t = targets[n].rgb;
        sumJ += dot3(t, plan.jDirection);
        sumK += dot3(t, plan.kDirection);
        const float along = dot3(t, v);
        projected += dot3(t, t) - along * along / vv;
        for (int i = 0; i < 3; ++i) {
            const float toFace = std::min(t[i], 255.0f - t[i]);
            geometry.nearestFace = std::min(geometry.nearestFace, toFace * toFace);
        }
        if (targets[n].palette >= 0)
            geometry.nearestFace = std::min(geometry.nearestFace, targets[n].paletteError);
    }
    // c = G^-1 (sum of P a . T, sum of P b . T) / (m s)
    const float scale = float(count) * levelScale;
    geometry.centreJ = (plan.inverseGram[0][0] * sumJ + plan.inverseGram[0][1] * sumK) / scale;
    geometry.centreK = (plan.inverseGram[1][0] * sumJ + plan.inverseGram[1][1] * sumK) / scale;
    const float centreSquare = plan.gram[0][0] * geometry.centreJ * geometry.centreJ +
                               2.0f * plan.gram[0][1] * geometry.centreJ * geometry.centreK +
                               plan.gram[1][1] * geometry.centreK * geometry.centreK;
    geometry.leastSum =
        std::max(0.0f, projected - float(count) * levelScale * levelScale * centreSquare);
    return geometry;
}

GroupChoice searchGroup(const ColourSpace& space, const SearchPlan& plan, int yStep,
                        const PixelTarget* targets, int count) {
    const GroupGeometry geometry = groupGeometry(plan, targets, count);
    const int rj = std::clamp(int(std::lround(geometry.centreJ)), -32, 31);
    const int rk = std::clamp(int(std::lround(geometry.centreK)), -32, 31);
    const float fromCentre = gNorm(plan, geometry.centreJ - float(rj), geometry.centreK - float(rk));
    const float m = float(count), mss = m * levelScale * levelScale;
    const bool bounded = space.metric == ErrorMetric::rgb;
    GroupChoice best;
    best.error = std::numeric_limits<float>::infinity();
    for (const SearchPlan::Offset& offset : plan.offsets) {
        if (bounded) {
            const float reach = std::max(0.0f, offset.norm - fromCentre);
            const float lineSum = geometry.leastSum + mss * reach * reach;
            const float sumBound = lineSum > lineSlack * lineSlack * m
                                       ? lineSum - 2.0f * lineSlack * std::sqrt(m * lineSum)
                                       : 0.0f;
            if (std::min(sumBound, geometry.nearestFace) >= best.error) break;
        }
        const int j = rj + offset.dj, k = rk + offset.dk;
        if (j < -32 || j > 31 || k < -32 || k > 31) continue;
        GroupChoice choice = tryPair(space, yStep, targets, count, j, k, best.error);
        if (choice.error < best.error) best = choice;
    }
    return best;
}
