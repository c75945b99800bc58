// DIASHORAST: one record per time slot, in document order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/tests/export_fixture.hpp"

namespace thp::exporter::testing {
namespace {

using ExportFranjas = ExportTest;

TEST_F(ExportFranjas, WritesTheSlotRecord) {
  Document d;
  d.franjas = {{" 1 ", " 1 ", " 08:00 ", " 08:55 "}, {"1", "2", "08:55", "09:50"}};
  exportDocument(d);

  const auto r = rows("DIASHORAST");
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0], (Row{{"DIHO", "11"},
                       {"CODDIHO", ""},
                       {"DIA", "1"},
                       {"TEXTODIA", "Lunes"},
                       {"HORA", "1"},
                       {"TEXTOHOR", "1-08:00-08:55"},
                       {"HORADESDE", "08:00"},
                       {"HORAHASTA", "08:55"},
                       {"MINUTOS", "55"},
                       {"MARCO", "0"},
                       {"MARCOXML", ""},
                       {"SESION_ORDEN", "1"},
                       {"PLANTILLA", ""}}));
  EXPECT_EQ(r[1].at("DIHO"), "12");
  EXPECT_EQ(r[1].at("SESION_ORDEN"), "2");
}

struct SlotCase {
  Franja slot;
  std::string diho, textodia, textohor, horadesde, minutos;
};

TEST_F(ExportFranjas, DerivesDayNamesTimesAndLengths) {
  const std::vector<SlotCase> cases = {
      {{"3", "3", "10:00", "10:55"}, "33", "Miércoles", "3-10:00-10:55", "10:00", "55"},
      {{"6", "1", "09:00", "10:30"}, "61", "Sábado", "1-09:00-10:30", "09:00", "90"},
      {{"2", "10", "12:00", "12:55"}, "210", "Martes", "10-12:00-12:55", "12:00", "55"},
      // Seconds count only where the whole text is stored; TEXTOHOR keeps 15.
      {{"4", "1", "08:00:00", "08:55:00"}, "41", "Jueves", "1-08:00:00-08:5", "08:00:00", "55"},
      // An end before the start gives a negative length.
      {{"5", "2", "09:00", "08:00"}, "52", "Viernes", "2-09:00-08:00", "09:00", "-60"},
      // Any separator between hours and minutes.
      {{"7", "100", "08.00", "23h59"}, "7100", "Domingo", "100-08.00-23h59", "08.00", "959"},
      // A day outside 1 to 7 has no name, whatever the slot before it had.
      {{"8", "1", "08:00", "08:55"}, "81", "", "1-08:00-08:55", "08:00", "55"},
      {{"0", "1", "08:00", "08:55"}, "01", "", "1-08:00-08:55", "08:00", "55"},
      // The same day and period twice: two records.
      {{"1", "1", "08:00", "08:55"}, "11", "Lunes", "1-08:00-08:55", "08:00", "55"},
      {{"1", "1", "08:00", "08:55"}, "11", "Lunes", "1-08:00-08:55", "08:00", "55"},
  };
  Document d;
  for (const auto& c : cases) d.franjas.push_back(c.slot);
  exportDocument(d);

  const auto r = rows("DIASHORAST");
  ASSERT_EQ(r.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE("slot " + std::to_string(i + 1));
    EXPECT_EQ(r[i].at("DIHO"), cases[i].diho);
    EXPECT_EQ(r[i].at("DIA"), cases[i].slot.dia_semana);
    EXPECT_EQ(r[i].at("TEXTODIA"), cases[i].textodia);
    EXPECT_EQ(r[i].at("HORA"), cases[i].slot.posicion);
    EXPECT_EQ(r[i].at("TEXTOHOR"), cases[i].textohor);
    EXPECT_EQ(r[i].at("HORADESDE"), cases[i].horadesde);
    EXPECT_EQ(r[i].at("MINUTOS"), cases[i].minutos);
    EXPECT_EQ(r[i].at("SESION_ORDEN"), cases[i].slot.posicion);
  }
}

}  // namespace
}  // namespace thp::exporter::testing
