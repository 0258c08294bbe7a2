#include "palette_fit.h"

#include <algorithm>
#include <limits>

// The palette registers hold 3 bits a channel: 512 colours to choose from,
// candidate c being red (c >> 6), green (c >> 3) & 7, blue c & 7.
constexpr int candidateCount = 512;
constexpr int paletteColours = 15; // registers 1..15

static std::vector<MetricColour> candidateColours(const ColourSpace& space) {
    std::vector<MetricColour> colours(candidateCount);
    for (int c = 0; c < candidateCount; ++c) {
        const int red = paletteLevel(c >> 6), green = paletteLevel((c >> 3) & 7),
                  blue = paletteLevel(c & 7);
        colours[std::size_t(c)] = space.shown[std::size_t((red << 10) | (green << 5) | blue)];
    }
    return colours;
}

// What the palette saves: the sum over pixels of how much less than their
// own error the nearest chosen colour has.
static double savedError(const std::vector<MetricColour>& candidates,
                         const std::vector<int>& chosen, const std::vector<MetricColour>& pixels,
                         const std::vector<float>& yjkError) {
    double saved = 0;
    for (std::size_t p = 0; p < pixels.size(); ++p) {
        float best = yjkError[p];
        for (int c : chosen)
            best = std::min(best, colourError(candidates[std::size_t(c)], pixels[p]));
        saved += yjkError[p] - best;
    }
    return saved;
}

// Greedy choice: each colour in turn is the candidate that saves the most
// error given the colours chosen before it. A candidate's saving over the
// pixels, sum of max(0, current - distance), is worked out once for all
// candidates; after each choice only the pixels whose current error fell
// change it, and only by the difference.
static std::vector<int> greedyColours(const std::vector<MetricColour>& candidates,
                                      const std::vector<MetricColour>& pixels,
                                      const std::vector<float>& yjkError) {
    std::vector<float> current = yjkError;
    std::vector<double> saving(candidateCount, 0.0);
    for (std::size_t p = 0; p < pixels.size(); ++p)
        for (int c = 0; c < candidateCount; ++c)
            saving[std::size_t(c)] +=
                std::max(0.0f, current[p] - colourError(candidates[std::size_t(c)], pixels[p]));
    std::vector<int> chosen;
    while (int(chosen.size()) < paletteColours) {
        const int pick = int(std::max_element(saving.begin(), saving.end()) - saving.begin());
        if (saving[std::size_t(pick)] <= 0) break; // no colour saves anything more
        chosen.push_back(pick);
        for (std::size_t p = 0; p < pixels.size(); ++p) {
            const float distance = colourError(candidates[std::size_t(pick)], pixels[p]);
            if (distance >= current[p]) continue;
            for (int c = 0; c < candidateCount; ++c) {
                const float toCandidate = colourError(candidates[std::size_t(c)], pixels[p]);
                saving[std::size_t(c)] -= std::max(0.0f, current[p] - toCandidate) -
                                          std::max(0.0f, distance - toCandidate);
            }
            current[p] = distance;
        }
        saving[std::size_t(pick)] = 0; // chosen once
    }
    return chosen;
}

// One refinement of each colour: the candidate nearest the mean of the
// pixels it serves, weighted by what it saves them, replaces it when the
// palette then saves more.
static void refineColours(const std::vector<MetricColour>& candidates, std::vector<int>& chosen,
                          const std::vector<MetricColour>& pixels,
                          const std::vector<float>& yjkError) {
    double saved = savedError(candidates, chosen, pixels, yjkError);
    for (std::size_t slot = 0; slot < chosen.size(); ++slot) {
        double weight = 0, sum[3] = {0, 0, 0};
        for (std::size_t p = 0; p < pixels.size(); ++p) {
            float best = yjkError[p];
            std::size_t nearest = chosen.size();
            for (std::size_t i = 0; i < chosen.size(); ++i) {
                const float error = colourError(candidates[std::size_t(chosen[i])], pixels[p]);
                if (error < best) best = error, nearest = i;
            }
            if (nearest != slot) continue;
            const double w = yjkError[p] - best;
            weight += w;
            for (int i = 0; i < 3; ++i) sum[i] += w * pixels[p].v[i];
        }
        if (weight <= 0) continue;
        const MetricColour mean{
            {float(sum[0] / weight), float(sum[1] / weight), float(sum[2] / weight)}};
        int nearestCandidate = 0;
        for (int c = 1; c < candidateCount; ++c)
            if (colourError(candidates[std::size_t(c)], mean) <
                colourError(candidates[std::size_t(nearestCandidate)], mean))
                nearestCandidate = c;
        const int before = chosen[slot];
        chosen[slot] = nearestCandidate;
        const double savedNow = savedError(candidates, chosen, pixels, yjkError);
        if (savedNow > saved)
            saved = savedNow;
        else
            chosen[slot] = before;
    }
}

PaletteTable fitPalette(const ColourSpace& space, const std::vector<MetricColour>& pixels,
                        const std::vector<float>& yjkError) {
    const std::vector<MetricColour> candidates = candidateColours(space);
    std::vector<int> chosen = greedyColours(candidates, pixels, yjkError);
    refineColours(candidates, chosen, pixels, yjkError);
    PaletteTable table{}; // unused registers black
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        const int c = chosen[i];
        const std::size_t at = 2 * (i + 1);
        table[at] = std::uint8_t(((c >> 6) << 4) | (c & 7)); // 0RRR0BBB
        table[at + 1] = std::uint8_t((c >> 3) & 7);          // 00000GGG
    }
    return table;
}
