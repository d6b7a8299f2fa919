// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo_output.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <proj.h>

#include <cpl_vsi.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <mutex>

#include "files/output_file.h"

namespace q47v::survey {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Extension(const std::string& path) {
  const std::filesystem::path p(path);
  std::string e = p.extension().string();
  if (!e.empty() && e[0] == '.') e.erase(0, 1);
  return Lower(e);
}

const GeoFormat kFormats[] = {
    {"gpkg", "GPKG", true},   {"geojson", "GeoJSON", false}, {"dxf", "DXF", true},
    {"kml", "KML", true},     {"csv", "CSV", false},         {"shp", "ESRI Shapefile", false},
    {"gpx", "GPX", true},
};

std::string LastOgrError() {
  const char* m = CPLGetLastErrorMsg();
  return m && *m ? m : "unknown error";
}

// "07-DEC-2026" as year, month, day.
bool ReadDate(const std::string& d, int& year, int& month, int& day) {
  static const char* kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                  "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  if (d.size() < 11 || d[2] != '-' || d[6] != '-') return false;
  const std::string m = d.substr(3, 3);
  month = 0;
  for (int i = 0; i < 12; ++i)
    if (std::equal(m.begin(), m.end(), kMonths[i],
                   [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; }))
      month = i + 1;
  if (month == 0) return false;
  if (std::sscanf(d.c_str(), "%2d", &day) != 1 || std::sscanf(d.c_str() + 7, "%4d", &year) != 1) return false;
  return day >= 1 && day <= 31;
}

// "hh:mm:ss.hh" (the fraction optional) as seconds of the day.
bool ReadClock(const std::string& t, double& seconds) {
  int h = 0, m = 0;
  double s = 0;
  if (std::sscanf(t.c_str(), "%d:%d:%lf", &h, &m, &s) != 3) return false;
  if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s >= 61) return false;
  seconds = h * 3600.0 + m * 60.0 + s;
  return true;
}

std::string Trimmed(const std::string& s) {
  std::size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == 0)) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == 0)) --b;
  return s.substr(a, b - a);
}

std::string DateOf(std::time_t t) {
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  return buf;
}

}  // namespace

void RegisterGeoDrivers() {
  static std::once_flag once;
  std::call_once(once, [] {
    GDALAllRegister();
    CPLSetErrorHandler(CPLQuietErrorHandler);  // errors are read back and reported by the caller
  });
}

bool ResolveFormat(const std::string& name, const std::string& path, const std::vector<std::string>& allowed,
                   GeoFormat& format, std::string& error) {
  std::string wanted = Lower(name);
  if (wanted.empty()) {
    wanted = Extension(path);
    if (wanted == "json") wanted = "geojson";
    if (std::find(allowed.begin(), allowed.end(), wanted) == allowed.end()) wanted = "gpkg";
  }
  if (std::find(allowed.begin(), allowed.end(), wanted) == allowed.end()) {
    error = "--format takes";
    for (std::size_t i = 0; i < allowed.size(); ++i) error += (i ? (i + 1 == allowed.size() ? " or " : ", ") : " ") + allowed[i];
    error += ", not '" + name + "'";
    return false;
  }
  for (const GeoFormat& f : kFormats)
    if (f.Name == wanted) format = f;
  return true;
}

namespace {

void CPL_STDCALL ErrorHandler(CPLErr level, CPLErrorNum, const char* message) {
  if (auto* self = static_cast<GeoOutput*>(CPLGetErrorHandlerUserData())) self->ErrorSeen(level, message);
}

std::string MemoryFolder() {
  static std::atomic<unsigned long> serial{0};
  return "/vsimem/q47v-output-" + std::to_string(::getpid()) + "-" + std::to_string(++serial);
}

}  // namespace

void GeoOutput::ErrorSeen(int level, const char* message) {
  if (level >= CE_Failure && write_error_.empty()) write_error_ = message && *message ? message : "write error";
}

GeoOutput::GeoOutput(GeoFormat format, std::string path) : format_(std::move(format)), path_(std::move(path)) {
  RegisterGeoDrivers();
  // GDAL's error handlers are the thread's own: what it tells while this output
  // is written is kept, so that a failure a driver does not return is not missed.
  CPLPushErrorHandlerEx(ErrorHandler, this);
  handler_ = true;
}

GeoOutput::~GeoOutput() {
  Abandon();
  if (handler_) CPLPopErrorHandler();
}

GDALDataset* GeoOutput::Open(const std::string& path) {
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(format_.Driver.c_str());
  if (!driver) {
    error_ = "GDAL has no " + format_.Driver + " driver";
    return nullptr;
  }
  // A name that cannot be written is told before anything is made.
  if (std::string why = RefusedOutputReason(OutputTarget(path)); !why.empty()) {
    error_ = why;
    return nullptr;
  }
  Part part;
  part.Path = path;
  part.Folder = MemoryFolder();
  VSIMkdir(part.Folder.c_str(), 0755);
  char** options = nullptr;
  if (format_.Name == "gpx") options = CSLSetNameValue(options, "GPX_USE_EXTENSIONS", "YES");
  const std::string name = part.Folder + "/" + std::filesystem::path(path).filename().string();
  part.Dataset = driver->Create(name.c_str(), 0, 0, 0, GDT_Unknown, options);
  CSLDestroy(options);
  if (!part.Dataset) {
    error_ = "cannot create " + path + ": " + LastOgrError();
    VSIRmdirRecursive(part.Folder.c_str());
    return nullptr;
  }
  parts_.push_back(part);
  files_.push_back(path);
  return part.Dataset;
}

OGRLayer* GeoOutput::CreateLayer(const std::string& name, int geometry_type, const OGRSpatialReference* srs,
                                 const std::vector<std::string>& options) {
  GDALDataset* ds = nullptr;
  if (format_.MultiLayer) {
    ds = parts_.empty() ? Open(path_) : parts_.front().Dataset;
  } else if (parts_.empty()) {
    ds = Open(path_);
  } else {
    const std::filesystem::path p(path_);
    const std::string beside = (p.parent_path() / (p.stem().string() + "-" + name + p.extension().string())).string();
    ds = Open(beside);
  }
  if (!ds) return nullptr;
  char** opts = nullptr;
  for (const std::string& o : options) opts = CSLAddString(opts, o.c_str());
  OGRSpatialReference* copy = srs ? srs->Clone() : nullptr;
  OGRLayer* layer = ds->CreateLayer(name.c_str(), copy, static_cast<OGRwkbGeometryType>(geometry_type), opts);
  if (copy) copy->Release();
  CSLDestroy(opts);
  if (!layer) error_ = "cannot make the layer " + name + ": " + LastOgrError();
  return layer;
}

bool GeoOutput::CloseDatasets() {
  bool ok = true;
  for (Part& part : parts_) {
    if (!part.Dataset) continue;
    CPLErrorReset();
    part.Dataset->FlushCache();
    GDALClose(part.Dataset);
    part.Dataset = nullptr;
    if (CPLGetLastErrorType() >= CE_Failure) {
      ok = false;
      error_ = LastOgrError();
    }
  }
  if (ok && !write_error_.empty()) {
    ok = false;
    error_ = write_error_;
  }
  return ok;
}

bool GeoOutput::Commit() {
  if (!CloseDatasets()) {
    Abandon();
    return false;
  }
  // Every file made (a dataset's side files too) goes to a temporary file beside
  // its name; the names are taken only when all of them were written whole.
  std::vector<std::unique_ptr<WholeOutputFile>> outputs;
  std::vector<std::string> made;
  for (const Part& part : parts_) {
    const std::filesystem::path given(part.Path);
    char** names = VSIReadDir(part.Folder.c_str());
    std::vector<std::string> entries;
    for (char** n = names; n && *n; ++n)
      if (std::strcmp(*n, ".") != 0 && std::strcmp(*n, "..") != 0) entries.emplace_back(*n);
    CSLDestroy(names);
    std::sort(entries.begin(), entries.end());
    std::string first;
    for (const std::string& entry : entries) {
      const std::string from = part.Folder + "/" + entry;
      VSIStatBufL st;
      if (VSIStatL(from.c_str(), &st) != 0 || VSI_ISDIR(st.st_mode)) continue;
      vsi_l_offset length = 0;
      GByte* data = VSIGetMemFileBuffer(from.c_str(), &length, FALSE);
      static const GByte kNothing = 0;
      if (!data) data = const_cast<GByte*>(&kNothing);
      const std::string to = (given.parent_path() / entry).string();
      auto file = std::make_unique<WholeOutputFile>();
      std::string why;
      if (!file->Open(to, OutputMode::kThroughLinks, &why) ||
          !file->Write(std::string_view(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length)), &why)) {
        error_ = to + ": " + why;
        Abandon();
        return false;
      }
      outputs.push_back(std::move(file));
      if (first.empty() || to == part.Path) first = to;
    }
    // A Shapefile without geometry is its .dbf: the file made is listed.
    if (!first.empty()) made.push_back(first);
  }
  // All on the disk before the first name is taken: a disk that fills up on the
  // flush fails the whole output.
  for (auto& file : outputs) {
    if (::fsync(file->fd()) != 0) {
      error_ = file->Target() + ": " + std::strerror(errno);
      Abandon();
      return false;
    }
  }
  for (auto& file : outputs) {
    std::string why;
    if (!file->Commit(&why)) {
      error_ = file->Target() + ": " + why;
      Abandon();
      return false;
    }
  }
  Abandon();
  files_ = made;
  return true;
}

void GeoOutput::Abandon() {
  for (Part& part : parts_) {
    if (part.Dataset) GDALClose(part.Dataset);
    part.Dataset = nullptr;
    VSIRmdirRecursive(part.Folder.c_str());
  }
  parts_.clear();
}

struct Projector::Impl {
  PJ_CONTEXT* ctx = nullptr;
  PJ* transform = nullptr;
  ~Impl() {
    if (transform) proj_destroy(transform);
    if (ctx) proj_context_destroy(ctx);
  }
};

Projector::Projector() : impl_(std::make_unique<Impl>()) {}
Projector::~Projector() = default;

bool Projector::Open(const std::string& crs_text, std::string& error) {
  impl_ = std::make_unique<Impl>();
  impl_->ctx = proj_context_create();
  PJ* crs = proj_create(impl_->ctx, crs_text.c_str());
  if (!crs) {
    error = "PROJ does not know the CRS '" + crs_text + "'";
    return false;
  }
  if (proj_get_type(crs) == PJ_TYPE_BOUND_CRS) {
    PJ* base = proj_get_source_crs(impl_->ctx, crs);
    proj_destroy(crs);
    crs = base;
  }
  if (!crs || proj_get_type(crs) != PJ_TYPE_PROJECTED_CRS) {
    if (crs) proj_destroy(crs);
    error = "the CRS '" + crs_text + "' is not a projected one (easting and northing are needed to place the points)";
    return false;
  }
  name_ = proj_get_name(crs) ? proj_get_name(crs) : crs_text;
  const char* wkt = proj_as_wkt(impl_->ctx, crs, PJ_WKT2_2019, nullptr);
  definition_ = wkt ? wkt : crs_text;
  PJ* cs = proj_crs_get_coordinate_system(impl_->ctx, crs);
  double factor = 1.0;
  if (cs && proj_cs_get_axis_count(impl_->ctx, cs) >= 1)
    proj_cs_get_axis_info(impl_->ctx, cs, 0, nullptr, nullptr, nullptr, &factor, nullptr, nullptr, nullptr);
  if (cs) proj_destroy(cs);
  metres_per_unit_ = factor > 0 ? factor : 1.0;
  PJ* wgs84 = proj_create(impl_->ctx, "EPSG:4326");
  PJ* t = proj_create_crs_to_crs_from_pj(impl_->ctx, wgs84, crs, nullptr, nullptr);
  proj_destroy(wgs84);
  proj_destroy(crs);
  if (!t) {
    error = "PROJ cannot transform WGS 84 into '" + crs_text + "'";
    return false;
  }
  impl_->transform = proj_normalize_for_visualization(impl_->ctx, t);
  proj_destroy(t);
  if (!impl_->transform) {
    error = "PROJ cannot transform WGS 84 into '" + crs_text + "'";
    return false;
  }
  return true;
}

bool Projector::Forward(double lat, double lon, double& easting, double& northing) const {
  if (!impl_->transform) return false;
  const PJ_COORD out = proj_trans(impl_->transform, PJ_FWD, proj_coord(lon, lat, 0, 0));
  if (!std::isfinite(out.xy.x) || !std::isfinite(out.xy.y) || out.xy.x == HUGE_VAL) return false;
  easting = out.xy.x;
  northing = out.xy.y;
  return true;
}

std::string UtmZoneCrs(double lat, double lon) {
  int zone = static_cast<int>(std::floor((lon + 180.0) / 6.0)) + 1;
  zone = std::clamp(zone, 1, 60);
  return "EPSG:" + std::to_string((lat < 0 ? 32700 : 32600) + zone);
}

std::string IsoLocalTime(const std::string& date_text, const std::string& time_text) {
  int y, m, d;
  double s;
  const std::string t = Trimmed(time_text);
  if (!ReadDate(date_text, y, m, d) || !ReadClock(t, s)) return "";
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
  return std::string(buf) + "T" + t;
}

std::string IsoUtcTime(const std::string& date_text, const std::string& local_time, const std::string& utc_time) {
  int y, m, d;
  double local, utc;
  const std::string u = Trimmed(utc_time);
  if (u.empty() || !ReadDate(date_text, y, m, d) || !ReadClock(Trimmed(local_time), local) || !ReadClock(u, utc))
    return "";
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = m - 1;
  tm.tm_mday = d;
  tm.tm_hour = 12;
  std::time_t day = timegm(&tm);
  if (utc - local > 12 * 3600.0) day -= 86400;
  if (local - utc > 12 * 3600.0) day += 86400;
  return DateOf(day) + "T" + u + "Z";
}

std::optional<double> IsoSeconds(const std::string& iso) {
  int y, mo, d, h, mi;
  double s;
  if (std::sscanf(iso.c_str(), "%4d-%2d-%2dT%2d:%2d:%lf", &y, &mo, &d, &h, &mi, &s) != 6) return std::nullopt;
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  return static_cast<double>(timegm(&tm)) + h * 3600.0 + mi * 60.0 + s;
}

}  // namespace q47v::survey
