// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/head_copies.h"

void SwapHeadCopies(SettingsState& s, bool to_head) {
  auto i = [to_head](AtomicInt& work, AtomicInt& head) {
    if (to_head) head.store(work.load()); else work.store(head.load());
  };
  auto f = [to_head](AtomicFloat& work, AtomicFloat& head) {
    if (to_head) head.store(work.load()); else work.store(head.load());
  };
  if (to_head) s.UserTextHead = s.UserText.get(); else s.UserText = s.UserTextHead.get();
  i(s.Xdcr, s.XdcrHead); i(s.Range, s.RangeHead); i(s.GridMode, s.GridModeHead);
  i(s.Gain, s.GainHead); i(s.Speed, s.SpeedHead); i(s.PulseLength, s.PulseLengthHead);
  i(s.Train, s.TrainHead); i(s.RangeOffset, s.RangeOffsetHead); i(s.LogF, s.LogFHead);
  i(s.Absorption, s.AbsorptionHead); i(s.DataBits, s.DataBitsHead); i(s.SectorSize, s.SectorSizeHead);
  f(s.SoundVelocityMeters, s.SoundVelocityMetersHead); f(s.ProfileChainage, s.ProfileChainageHead);
  f(s.ProfileElevation, s.ProfileElevationHead); f(s.ProfileXOffset, s.ProfileXOffsetHead);
  f(s.ProfileDredgeDepth, s.ProfileDredgeDepthHead);
  f(s.AzimuthPitchOffset, s.AzimuthPitchOffsetHead); f(s.AzimuthRollOffset, s.AzimuthRollOffsetHead);
  f(s.AzimuthHeadingOffset, s.AzimuthHeadingOffsetHead);
  f(s.VerticalAngleOffset, s.VerticalAngleOffsetHead);
  f(s.OrientationPitchOffset, s.OrientationPitchOffsetHead);
  f(s.OrientationRollOffset, s.OrientationRollOffsetHead);
  f(s.OrientationHeadingOffset, s.OrientationHeadingOffsetHead);
}
