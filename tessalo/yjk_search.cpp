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
// rises: the best Y lies between them. A crossing is worked out on the
// continuous scale (level x 255/31) and widened by what the chip's rounding
// can move it: red and green reach their target up to 0.13 of a step later
// (the DAC truncates), blue 0.4 earlier to 0.3 later (rounding to -1/4..1/2
// of a level, over blue's 5/4 levels per Y). With 4-bit Y the range widens
// to even ends.
static void yRange(int yStep, int j, int k, const float rgb[3], int& lowest, int& highest) {
    const float fromRed = rgb[0] / levelScale - float(j);
    const float fromGreen = rgb[1] / levelScale - float(k);
    const float fromBlue = (4.0f * rgb[2] / levelScale + 2.0f * float(j) + float(k)) / 5.0f;
    const float low = std::min({fromRed, fromGreen, fromBlue - 0.4f});
    const float high = std::max({fromRed + 0.13f, fromGreen + 0.13f, fromBlue + 0.3f});
    // The crossings lie above -64 (a level is at least 0, J and K at most
    // 31), so int(x + 64) - 64 is x rounded down and 64 - int(64 - x) is x
    // rounded up.
    lowest = std::clamp(int(low + 64.0f) - 64, 0, 31);
    highest = std::clamp(64 - int(64.0f - high), 0, 31);
    if (yStep == 2) {
        lowest &= ~1;                               // down to even
        highest = std::min(30, (highest + 1) & ~1); // up to even, 30 at most
    }
}

// With the RGB metric a Y can only keep a pixel's error under the limit
// where each channel alone does. A channel shows between s L - 1 and s L for
// its level L, so L must lie within w = (sqrt(limit) + 1) / s of target / s;
// blue, which rounds b = (5Y - 2J - K) / 4 by -1/4..1/2 of a level, within
// w + 1/2 of it. Where that band reaches 0 or 31, a clamped channel stays in
// reach on that side and leaves it open.
static void narrowToLimit(int yStep, int j, int k, const float rgb[3], float limit, int& lowest,
                          int& highest) {
    const float width = (std::sqrt(limit) + 1.0f) / levelScale;
    float low = -64.0f, high = 64.0f;
    // A channel whose level is perY x Y + offset, wanted at `level`.
    auto narrow = [&](float level, float offset, float perY, float reach) {
        if (level - reach > 0.0f) low = std::max(low, (level - reach - offset) / perY);
        if (level + reach < 31.0f) high = std::min(high, (level + reach - offset) / perY);
    };
    narrow(rgb[0] / levelScale, float(j), 1.0f, width);
    narrow(rgb[1] / levelScale, float(k), 1.0f, width);
    narrow(rgb[2] / levelScale, -(2.0f * float(j) + float(k)) / 4.0f, 1.25f, width + 0.5f);
    // low and high lie within -64..64 here (levels 0..31, J and K -32..31):
    // rounded up and down as in yRange.
    lowest = std::max(lowest, 64 - int(64.0f - low));
    highest = std::min(highest, int(high + 64.0f) - 64);
    if (yStep == 2) lowest = (lowest + 1) & ~1, highest &= ~1; // even ends
}

// The best Y of the range for the target; its error is infinite when every
// Y's error reaches the limit.
static PixelChoice bestY(const ColourSpace& space, int yStep, int j, int k,
                         const PixelTarget& target, float limit) {
    int lowest = 0, highest = 0;
    yRange(yStep, j, k, target.rgb, lowest, highest);
    if (space.metric == ErrorMetric::rgb && limit < std::numeric_limits<float>::infinity())
        narrowToLimit(yStep, j, k, target.rgb, limit, lowest, highest);
    PixelChoice best;
    best.y = lowest;
    best.error = limit;
    for (int y = lowest; y <= highest; y += yStep) {
        const float error =
            colourError(shownColour(space, machineColour({y, j, k})), target.metric);
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
// The search visits pairs from the integer pair r nearest c outwards, in
// order of their offset's length |d| in the G metric (a list made once),
// and tries each: every pixel gets its best Y (a few candidates, see yRange
// and narrowToLimit), and the pair's sum stops as soon as it reaches the
// best sum so far.
//
// With the RGB metric two bounds cut the work without losing the best pair.
// A pair's shown colour either has no channel at 0 or 255, and then lies
// within sigma = 3.7 levels of its (shifted) line point, see lineSlack, or
// lies on a face of the colour cube. So each pixel's error is at least
// min((sqrt(q) - sigma)^2, f), q its distance from the line and f its
// distance from the nearest face (or its palette colour's error, when
// less). Summed over the pixels, that bounds one pair: a pair whose bound
// reaches the best sum is not tried (pairBound). And it ends the search:
// take the targets whose f reaches the best sum so far; should any of them
// be shown on a face, the pair cannot win; otherwise their errors add up to
// at least Q' - 2 sigma sqrt(m' Q'), Q' being their own quadratic, which
// grows with Q'. For an offset d from r, with their centre c' at |c' - r|
// in the G metric, Q' >= Qmin' + m' s^2 (|d| - |c' - r|)^2, which grows
// along the list. Once that reaches the best sum, no pair still to come can
// beat it, and the search ends. Most groups end within a few pairs; a group
// whose every pixel lies near black, white or a pure colour ends at the
// list's end instead, which by default is the disc that holds the 9 x 9
// window around r (every pair with fullSearch, where the search is exact).
//
// The Lab metric has no such bounds: there the search tries every pair of
// the list, still in that order, with the same early end of each pair's sum.

// Where a shown colour lies from its point on the line: red and green
// 0..1 below (the DAC truncates), blue -3.06..4.11 (rounding to -1/4..1/2
// of a level, times 255/31, less the truncation). The bounds measure from
// the line moved by the middle of those ranges, lineShift, so that a shown
// colour lies within lineSlack of it: sqrt(0.5^2 + 0.5^2 + 3.59^2).
constexpr float lineShift[3] = {-0.5f, -0.5f, 0.52f};
constexpr float lineSlack = 3.7f;

static float dot3(const float* a, const float* b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

static float gNorm(const SearchPlan& plan, float dj, float dk) {
    const float square =
        plan.gram[0][0] * dj * dj + 2.0f * plan.gram[0][1] * dj * dk + plan.gram[1][1] * dk * dk;
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
    std::stable_sort(
        plan.offsets.begin(), plan.offsets.end(),
        [](const SearchPlan::Offset& x, const SearchPlan::Offset& y) { return x.norm < y.norm; });
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

// What the bounds need of one target: its parts along P a and P b, its
// squared distance from the line through black along v, and f.
struct TargetGeometry {
    float alongJ = 0, alongK = 0;
    float projected = 0;
    float nearestFace = 0; // f: squared distance from a cube face, or palette error if less
};

static TargetGeometry targetGeometry(const SearchPlan& plan, const PixelTarget& target) {
    const float v[3] = {1.0f, 1.0f, 1.25f};
    const float t[3] = {target.rgb[0] - lineShift[0], target.rgb[1] - lineShift[1],
                        target.rgb[2] - lineShift[2]};
    TargetGeometry geometry;
    geometry.alongJ = dot3(t, plan.jDirection);
    geometry.alongK = dot3(t, plan.kDirection);
    const float along = dot3(t, v);
    geometry.projected = dot3(t, t) - along * along / dot3(v, v);
    geometry.nearestFace = std::numeric_limits<float>::infinity();
    for (int i = 0; i < 3; ++i) {
        const float toFace = std::min(target.rgb[i], 255.0f - target.rgb[i]);
        geometry.nearestFace = std::min(geometry.nearestFace, toFace * toFace);
    }
    if (target.palette >= 0)
        geometry.nearestFace = std::min(geometry.nearestFace, target.paletteError);
    return geometry;
}

// The quadratic Q of a set of m targets: its centre c, Qmin and m.
struct LineSum {
    float centreJ = 0, centreK = 0;
    float least = 0;
    float count = 0;
};

// The targets' Q; only those whose f reaches `above` count (all when it is
// minus infinity).
static LineSum lineSum(const SearchPlan& plan, const TargetGeometry* targets, int count,
                       float above) {
    LineSum sum;
    float sumJ = 0, sumK = 0, projected = 0;
    for (int n = 0; n < count; ++n) {
        if (targets[n].nearestFace < above) continue;
        sumJ += targets[n].alongJ;
        sumK += targets[n].alongK;
        projected += targets[n].projected;
        sum.count += 1;
    }
    if (sum.count == 0) return sum;
    // c = G^-1 (sum of P a . T, sum of P b . T) / (m s)
    const float scale = sum.count * levelScale;
    sum.centreJ = (plan.inverseGram[0][0] * sumJ + plan.inverseGram[0][1] * sumK) / scale;
    sum.centreK = (plan.inverseGram[1][0] * sumJ + plan.inverseGram[1][1] * sumK) / scale;
    const float centreNorm = gNorm(plan, sum.centreJ, sum.centreK);
    sum.least = std::max(0.0f, projected - scale * levelScale * centreNorm * centreNorm);
    return sum;
}

// The least sum the pair (J, K) can have: each pixel's
// min((sqrt(q) - sigma)^2, f), with q = |P t|^2 - 2 s (J P a + K P b) . t
// + s^2 |J P a + K P b|^2.
static float pairBound(const SearchPlan& plan, const TargetGeometry* targets, int count, int j,
                       int k) {
    const float pairNorm = gNorm(plan, float(j), float(k));
    const float lineTerm = levelScale * levelScale * pairNorm * pairNorm;
    float sum = 0;
    for (int n = 0; n < count; ++n) {
        const float q =
            targets[n].projected + lineTerm -
            2.0f * levelScale * (float(j) * targets[n].alongJ + float(k) * targets[n].alongK);
        const float beyond = std::sqrt(std::max(0.0f, q)) - lineSlack;
        sum += std::min(beyond > 0 ? beyond * beyond : 0.0f, targets[n].nearestFace);
    }
    return sum;
}

GroupChoice searchGroup(const ColourSpace& space, const SearchPlan& plan, int yStep,
                        const PixelTarget* targets, int count) {
    TargetGeometry geometry[4];
    for (int n = 0; n < count; ++n) geometry[n] = targetGeometry(plan, targets[n]);
    const LineSum all = lineSum(plan, geometry, count, -std::numeric_limits<float>::infinity());
    const int rj = std::clamp(int(std::lround(all.centreJ)), -32, 31);
    const int rk = std::clamp(int(std::lround(all.centreK)), -32, 31);
    const bool bounded = space.metric == ErrorMetric::rgb;
    GroupChoice best;
    best.error = std::numeric_limits<float>::infinity();
    LineSum far;          // the targets whose f reaches the best sum
    float fromCentre = 0; // |c - r| of those targets
    for (const SearchPlan::Offset& offset : plan.offsets) {
        if (bounded && far.count > 0) {
            const float reach = std::max(0.0f, offset.norm - fromCentre);
            const float sum = far.least + far.count * levelScale * levelScale * reach * reach;
            const float slack = 2.0f * lineSlack * std::sqrt(far.count * sum);
            if (sum > slack && sum - slack >= best.error) break;
        }
        const int j = rj + offset.dj, k = rk + offset.dk;
        if (j < -32 || j > 31 || k < -32 || k > 31) continue;
        if (bounded && pairBound(plan, geometry, count, j, k) >= best.error) continue;
        GroupChoice choice = tryPair(space, yStep, targets, count, j, k, best.error);
        if (choice.error >= best.error) continue;
        best = choice;
        if (!bounded) continue;
        far = lineSum(plan, geometry, count, best.error);
        fromCentre = gNorm(plan, far.centreJ - float(rj), far.centreK - float(rk));
    }
    return best;
}
