// End to end through files: vsthost renders a WAV file through our plug-in, and the file it writes
// holds what the overdrive's formulas give for the samples of the input file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>

#include "host/lib/KVX_HostAudio.h"
#include "support/KVX_ChildProcess.h"
#include "support/OverdriveReference.h"

using namespace kvx;
namespace fs = std::filesystem;

TEST(HostRenderOverdrive, FileOutputEqualsTheFormulas) {
  const fs::path folder = fs::temp_directory_path() / ("kvx_render_od_" + std::to_string(getpid()));
  fs::create_directories(folder);
  const std::string in = (folder / "in.wav").string(), out = (folder / "out.wav").string();

  // A stereo input of 0.4 s at 48 kHz: different partials left and right, peaks above 0 dBFS.
  TAudioData input;
  input.SampleRate = 48000;
  const size_t frames = 19200;
  input.Channels.assign(2, std::vector<double>(frames));
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / input.SampleRate;
    input.Channels[0][i] = 0.8 * std::sin(2 * M_PI * 196 * t) + 0.5 * std::exp(-t * 8) * std::sin(2 * M_PI * 1500 * t);
    input.Channels[1][i] = 1.2 * std::sin(2 * M_PI * 147 * t + 1) * std::exp(-t * 3);
  }
  WriteAudioFile(in, input);

  // Raw host values, so the model knows the exact parameter values. Stereo before Drive, so the
  // trim doubles for stereo.
  const auto r = test::RunChild({KVX_BUILD_DIR "/vsthost", "render", KVX_BUILD_DIR "/ub37t" KVX_MODULE_SUFFIX, "-i", in, "-o", out,
                                 "--precision", "64", "--block", "300", "--set", "Stereo=@1", "--set", "Drive=@0.8",
                                 "--set", "Tone=@0.3", "--set", "Level=@0.75", "--set", "Oversampling=@0.5",
                                 "--set", "Input=@0.55", "--set", "Symmetric=@0"});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;

  // The file holds 32-bit floats: read back what the plug-in received and what it wrote.
  const TAudioData received = ReadAudioFile(in);
  const TAudioData rendered = ReadAudioFile(out);
  ASSERT_EQ(rendered.ChannelCount(), 2u);
  ASSERT_EQ(rendered.Frames(), frames);

  ref::Params p;
  p.Stereo = 1;
  p.Drive = ref::HostToParam(0.8f, 0, 100);
  p.TrimStereo = true;
  p.Tone = ref::HostToParam(0.3f, -15, 15);
  p.Level = ref::HostToParam(0.75f, 0, 100);
  p.Oversampling = ref::HostToParam(0.5f, 1, 16);
  p.Input = ref::HostToParam(0.55f, -200, 200);
  p.Symmetric = 0;
  ref::Overdrive model(48000, p, 300);
  std::vector<double> l = received.Channels[0], rr = received.Channels[1], o0(frames), o1(frames);
  for (size_t done = 0; done < frames; done += 300) {
    const int n = static_cast<int>(std::min<size_t>(300, frames - done));
    model.Process64(l.data() + done, rr.data() + done, o0.data() + done, o1.data() + done, n);
  }

  double peak = 0;
  for (size_t i = 0; i < frames; ++i) peak = std::max({peak, std::fabs(o0[i]), std::fabs(o1[i])});
  ASSERT_GT(peak, 0.05);
  // The model's samples rounded to 32 bits, as the file stores them; one float step of the
  // peak covers a model and plug-in that differ in the last bits of a 64-bit value.
  const double tolerance = std::numeric_limits<float>::epsilon() * peak;
  for (size_t i = 0; i < frames; ++i) {
    ASSERT_NEAR(rendered.Channels[0][i], static_cast<float>(o0[i]), tolerance) << "left " << i;
    ASSERT_NEAR(rendered.Channels[1][i], static_cast<float>(o1[i]), tolerance) << "right " << i;
  }
  fs::remove_all(folder);
}
