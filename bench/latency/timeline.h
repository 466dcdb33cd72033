#pragma once
// Where a recorded frame stands on std::chrono::steady_clock. The server hands the monitor's frames
// out at the pace of its own clock, and no block reaches the recorder before it was made, only
// after: late by the hand-over and by however long the recorder's thread waited to run. So the
// blocks that arrived earliest for their frame count trace the server's clock. In each window of
// the recording the earliest block is taken, and the timeline runs straight from one to the next.
//
// Not one straight line for the whole run: the null sink counts its clock in whole microseconds
// per chunk it mixes, and its chunks vary in length with the load, so its clock runs some hundred
// ppm fast of steady_clock and wanders by a millisecond over minutes.
//
// Nor always one unbroken line: a server that stops for a while (its own thread not run) or that
// drops a quantum of the recording moves every later frame by a step. Such a step shows, block by
// block, as a jump of the earliest arrivals for their frame count that holds on both sides; the
// timeline breaks there, so that the frames after it are not spread across the window around it.
#include <cstdint>
#include <optional>
#include <vector>

namespace kestu::latency {

struct ArrivedBlock {
  std::int64_t arrivalNs;  // steady_clock, when the recorder got the block
  std::uint64_t endFrame;  // frames recorded with this block included
};

struct Timeline {
  struct Knot {
    double count;  // frames recorded
    double ns;     // steady_clock, when that many had arrived at the earliest
  };
  // A place where the recording moved: `count` frames were recorded before it, and the frames
  // after it came `jumpNs` later (+) or earlier (-) than the pace before would have them.
  struct Step {
    std::uint64_t count;
    double jumpNs;
  };
  std::vector<Knot> knots;   // the earliest block of each window, and both sides of each step; at least two
  std::vector<Step> steps;
  double nsPerFrame = 0;     // over the whole run
  double wanderNs = 0;       // the largest distance of a knot from one straight line for the run, steps taken out
  double roughnessNs = 0;    // the largest distance of a knot from the line between its neighbours, the same

  // The earliest moment `count` frames could have been recorded: frame i arrived at TimeNs(i + 1).
  double TimeNs(double count) const;
  // How much faster (+) or slower than `rate` the server's frames came, in parts per million.
  double DriftPpm(std::uint32_t rate) const;
};

// Nothing when there are fewer than two blocks.
std::optional<Timeline> FitTimeline(const std::vector<ArrivedBlock>& blocks, std::uint32_t rate,
                                    double windowSeconds = 1.0);

// How late each block arrived after the timeline said it could have, in nanoseconds.
std::vector<double> Lateness(const std::vector<ArrivedBlock>& blocks, const Timeline& timeline);

}  // namespace kestu::latency
