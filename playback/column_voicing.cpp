#include "playback/column_voicing.h"

#include "sound/ddsd.h"

namespace kestu {

namespace {

void StopBank(TDDSD& device, std::uint32_t first) {
  for (std::uint32_t i = first; i < first + kBankSize; ++i) {
    if (TDDSDChannel* channel = device.GetChannel(i)) channel->Stop();
  }
}

}  // namespace

void VoiceColumn(TDDSD& device, const SampleBank& samples, const PitchTables& tables,
                 const ScoreDocument& score, std::int32_t& playColumn) {
  const std::int32_t column = playColumn;
  const bool odd = column % 2 != 0;
  const std::uint32_t first = odd ? kBankAFirstChannel : kBankBFirstChannel;
  std::uint32_t next = first;
  if (column >= 1 && column <= kColumns) {
    for (int row = 1; row <= kRows && next < first + kBankSize; ++row) {
      const std::int32_t instrument = score.Cell(row, column);
      if (instrument < 1 || instrument > kInstrumentCount) continue;
      const Voice voice = VoiceOf(tables, instrument, row);
      if (TDDSDChannel* channel = device.GetChannel(next)) {
        // An absent sample is attached as none: the channel empties and stays silent.
        channel->setWaveData(samples.Sample(voice.sample));
        channel->SetRateRatio(voice.ratio);
      }
      ++next;
    }
  }
  playColumn = column + 1;

  if (next == first) return;  // an empty column stops nothing, so earlier notes ring on
  StopBank(device, odd ? kBankBFirstChannel : kBankAFirstChannel);
  for (std::uint32_t i = first; i < next; ++i) {
    if (TDDSDChannel* channel = device.GetChannel(i)) channel->PlayFromStart();
  }
}

void StopBothBanks(TDDSD& device) {
  StopBank(device, kBankBFirstChannel);
  StopBank(device, kBankAFirstChannel);
}

}  // namespace kestu
