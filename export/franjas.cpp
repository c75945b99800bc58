// DIASHORAST: one record per time slot, in document order.
#include <array>

#include "export/export_context.hpp"
#include "formats/error.hpp"
#include "formats/exchange_sections.hpp"
#include "formats/numbers.hpp"
#include "formats/timetable_tables.hpp"

namespace thp::exporter {
namespace {

namespace a = exchange::franja;

struct Fields {
  std::size_t diho, dia, textodia, hora, textohor, horadesde, horahasta, minutos, marco,
      sesionOrden;
  explicit Fields(const dbf::TableLayout& l)
      : diho(l.indexOf("DIHO")),
        dia(l.indexOf("DIA")),
        textodia(l.indexOf("TEXTODIA")),
        hora(l.indexOf("HORA")),
        textohor(l.indexOf("TEXTOHOR")),
        horadesde(l.indexOf("HORADESDE")),
        horahasta(l.indexOf("HORAHASTA")),
        minutos(l.indexOf("MINUTOS")),
        marco(l.indexOf("MARCO")),
        sesionOrden(l.indexOf("SESION_ORDEN")) {}
};

// Windows-1252 names of the weekdays 1 (Monday) to 7.
constexpr std::array<const char*, 7> kWeekdays = {"Lunes",
                                                  "Martes",
                                                  "Mi\xE9rcoles",
                                                  "Jueves",
                                                  "Viernes",
                                                  "S\xE1"
                                                  "bado",
                                                  "Domingo"};

// A day number outside 1 to 7 has no name.
std::string_view weekdayName(std::int32_t day) {
  return day >= 1 && day <= 7 ? kWeekdays[static_cast<std::size_t>(day - 1)] : "";
}

// Minutes since midnight of a time written hh?mm…: characters 1-2 are the hours,
// 4-5 the minutes. The hours are read first, so that 8:00 is reported by its
// hours "8:"; a text too short for the minutes is reported whole.
std::int64_t minutesOf(const std::string& time) {
  const std::int64_t hours = numbers::toInt(time.substr(0, 2));
  if (time.size() < 5) throw Error("'" + text::fromCp1252(time) + "' no es un valor entero válido");
  return hours * 60 + numbers::toInt(time.substr(3, 2));
}

}  // namespace

void ExportarFranjas(ExportContext& context) {
  const xml::Section& section = context.document.section(exchange::kFranjas);
  dbf::TableWriter& writer = context.tables.writer(kDiashorast);
  if (sectionIsTaken(section)) {
    static const Fields f(tables::diashorast());
    dbf::RecordBuffer record(tables::diashorast());
    for (std::size_t i = 0; i < section.size(); ++i) {
      const std::int32_t day = numbers::toInt(valueOf(section, i, a::dia_semana));
      const std::int32_t period = numbers::toInt(valueOf(section, i, a::posicion));
      const std::string start = valueOf(section, i, a::hora_inicio);
      const std::string end = valueOf(section, i, a::hora_final);
      const std::int64_t startMinutes = minutesOf(start);
      const std::int64_t minutes = minutesOf(end) - startMinutes;
      const std::string dayText = std::to_string(day);
      const std::string periodText = std::to_string(period);
      if (weekdayName(day).empty())
        context.report.note(exchange::kFranjas, i, dayText + "/" + periodText,
                            "día de la semana fuera de 1 a 7: TEXTODIA queda vacío");

      record.clear();
      record.setText(f.diho, dayText + periodText);
      record.setText(f.dia, dayText);
      record.setText(f.textodia, weekdayName(day));
      record.setText(f.hora, periodText);
      record.setText(f.textohor, periodText + "-" + start + "-" + end);
      record.setText(f.horadesde, start);
      record.setText(f.horahasta, end);
      record.setText(f.minutos, std::to_string(minutes));
      record.setText(f.marco, "0");
      record.setInteger(f.sesionOrden, period);
      writer.append(record);
    }
  }
  context.tables.finish(kDiashorast);
  context.report.records[kDiashorast] = writer.recordCount();
}

}  // namespace thp::exporter
