// A cubic spline through (time, value) samples: the smooth path of an animation's named
// picture through its key frames. Parabolic first and last segments; two samples give a
// straight line.
#pragma once

#include <vector>

namespace qx {

class CubicSpline {
 public:
  // Times must increase strictly; fewer than two samples make an empty spline.
  CubicSpline(std::vector<double> times, std::vector<double> values);
  bool Empty() const { return times_.size() < 2; }
  // Before the first and after the last sample the end segments go on.
  double operator()(double t) const;

 private:
  std::vector<double> times_, values_, slopes_;
};

}  // namespace qx
