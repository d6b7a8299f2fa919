// SPDX-License-Identifier: GPL-3.0-or-later
// What `q47v export` and `q47v track` share: the output formats written through
// OGR (one dataset with many layers, or one file per layer), the projection of
// GPS fixes into a CRS through PROJ, and the ISO 8601 times of the records.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

class GDALDataset;
class OGRLayer;
class OGRSpatialReference;

namespace q47v::survey {

struct GeoFormat {
  std::string Name;         // "gpkg", "geojson", ...
  std::string Driver;       // OGR driver name
  bool MultiLayer = false;  // the dataset holds every layer
};

// The format named by --format, or (empty) the one of the path's extension,
// GeoPackage for an unknown one. False for a name not in `allowed`.
bool ResolveFormat(const std::string& name, const std::string& path, const std::vector<std::string>& allowed,
                   GeoFormat& format, std::string& error);

// The datasets of one output: `path` itself for a multi-layer format, else one
// file per layer, the first layer in `path` and the others beside it as
// STEM-LAYER.EXT. GDAL writes each dataset (with its side files: a Shapefile's
// .shx, .dbf ...) in memory; only Commit() writes the files out, each through
// WholeOutputFile (a temporary file beside its name, every write checked, renamed
// when whole), and gives them their names once all of them were written whole.
// A name that is (through its links) not a regular file is refused and left as
// it is; symbolic links are written through, at the file they name. An output
// not committed leaves nothing behind.
class GeoOutput {
 public:
  GeoOutput(GeoFormat format, std::string path);
  ~GeoOutput();  // abandons an output not committed
  GeoOutput(const GeoOutput&) = delete;
  GeoOutput& operator=(const GeoOutput&) = delete;

  // A new layer; nullptr with the reason in Error(). `srs` may be null.
  OGRLayer* CreateLayer(const std::string& name, int geometry_type, const OGRSpatialReference* srs,
                        const std::vector<std::string>& options = {});
  // Closes every dataset and gives the files their names; false (nothing moved,
  // nothing left) when one could not be written or a name cannot be taken.
  bool Commit();
  // Closes the datasets and removes what was written.
  void Abandon();
  const std::string& Error() const { return error_; }
  // The files (the main one of each dataset), in order.
  const std::vector<std::string>& Files() const { return files_; }
  // What GDAL tells while the output is written (its error handler).
  void ErrorSeen(int level, const char* message);

 private:
  struct Part {
    GDALDataset* Dataset = nullptr;
    std::string Path;    // the name given
    std::string Folder;  // GDAL's folder in memory
  };
  GDALDataset* Open(const std::string& path);
  bool CloseDatasets();

  GeoFormat format_;
  std::string path_;
  std::vector<Part> parts_;
  std::vector<std::string> files_;
  std::string error_;
  std::string write_error_;  // the first failure GDAL told while writing
  bool handler_ = false;
};

// WGS 84 longitude/latitude into a projected CRS, in the CRS's own order
// (easting, northing) and unit.
class Projector {
 public:
  Projector();
  ~Projector();
  Projector(const Projector&) = delete;
  Projector& operator=(const Projector&) = delete;

  // `crs`: anything PROJ takes ("EPSG:32610", a PROJ string, WKT). False (with
  // the reason) when it is unknown or not a projected CRS.
  bool Open(const std::string& crs, std::string& error);
  bool Forward(double lat, double lon, double& easting, double& northing) const;
  double MetresPerUnit() const { return metres_per_unit_; }
  const std::string& Name() const { return name_; }
  const std::string& Definition() const { return definition_; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  double metres_per_unit_ = 1.0;
  std::string name_, definition_;
};

// "EPSG:326NN" or "EPSG:327NN": the WGS 84 UTM zone of a position.
std::string UtmZoneCrs(double lat, double lon);

// "07-DEC-2026" and "13:45:07.25" as "2026-12-07T13:45:07.25"; empty when the
// date cannot be read.
std::string IsoLocalTime(const std::string& date_text, const std::string& time_text);
// The UTC time of a ping recorded at local `date_text` `local_time` with the GPS
// time `utc_time` ("hh:mm:ss.hh"): the date is the local one, moved a day when
// the two times are more than 12 hours apart. "...Z"; empty without a GPS time.
std::string IsoUtcTime(const std::string& date_text, const std::string& local_time, const std::string& utc_time);
// Seconds since 1970 of an ISO text made above (its zone ignored); nothing for one
// that cannot be read.
std::optional<double> IsoSeconds(const std::string& iso);

// Registers the GDAL drivers once.
void RegisterGeoDrivers();

}  // namespace q47v::survey
