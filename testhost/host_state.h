// The stand-in host's state, shared by the QLP_ operations and the host-side API.
#pragma once

#include <cstdarg>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "testhost/host.h"
#include "testhost/maps.h"

namespace srtm::host {

struct XemMap;  // testhost/xem_maps.cpp: an opened XEM file

struct MapState {
  MapDescription description;
  QLP_CALLBACK source = nullptr;      // the map-source hook serving it; null for the host's own
  OpenedMap opened{};                 // what the host learnt when opening it
  std::vector<std::int16_t> block{};  // the host's buffer for 2012
  std::shared_ptr<XemMap> xem{};      // set for a map opened from a registered XEM file
};

struct ViewState {
  tagGEOPOS center{};
  std::vector<QLP_HANDLE> maps;  // in the order opened
  QLP_HANDLE baseMap = 0;
};

struct HostState {
  std::int32_t version = QLP_HOST_VERSION_MIN;
  std::vector<HookRegistration> hooks;  // map sources (kind 0) and QLP_AddHook kinds
  std::vector<MapSetIdRequest> mapSetIdRequests;
  std::vector<XemHookRegistration> xemHooks;
  std::vector<UserIdInfoRegistration> userIdInfos;
  std::vector<DiskLimit> diskLimits;
  std::vector<MenuItem> menuItems;
  std::vector<std::string> callLog;
  std::vector<std::string> dynamicXems;  // XEM files registered with QLP_XEM_AppendDynamicXem

  std::map<QLP_HANDLE, MapState> maps;
  std::map<QLP_HANDLE, ViewState> views;
  QLP_HANDLE nextMap = 0x100;
  QLP_HANDLE nextView = 2;
  QLP_HANDLE nextPopup = 0x7000;
  QLP_HANDLE activeBaseMap = 0;
  QLP_HANDLE activeCoverMap = 0;
  QLP_HANDLE activeView = 1;

  HostState() { views[1] = ViewState{}; }
};

HostState& State();

// Appends one line to the call log, printf style.
void Log(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace srtm::host
