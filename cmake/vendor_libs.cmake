# The board's own libraries behind the platform seams, found in a sysroot the
# user names (HEATLUME_VENDOR_LIBS=ON, HEATLUME_VENDOR_SYSROOT=DIR). Each
# becomes an imported target vendor::NAME; platform/*/CMakeLists.txt links it
# in place of the software substitute. Our seam headers stay the declarations
# the program compiles against: no header of the vendor's is used.
if(NOT HEATLUME_VENDOR_SYSROOT OR NOT IS_DIRECTORY "${HEATLUME_VENDOR_SYSROOT}")
  message(FATAL_ERROR "HEATLUME_VENDOR_LIBS needs HEATLUME_VENDOR_SYSROOT, the folder holding the "
                      "board's libraries (now: '${HEATLUME_VENDOR_SYSROOT}')")
endif()

set(_hl_vendor_dirs)
foreach(base usr/lib lib usr/local/lib oem/usr/lib)
  if(CMAKE_LIBRARY_ARCHITECTURE)
    list(APPEND _hl_vendor_dirs "${HEATLUME_VENDOR_SYSROOT}/${base}/${CMAKE_LIBRARY_ARCHITECTURE}")
  endif()
  list(APPEND _hl_vendor_dirs "${HEATLUME_VENDOR_SYSROOT}/${base}")
endforeach()

# seam -> library name (lib<name>.so)
set(_hl_vendor_libs rga rga  media rockit  npu rknnrt  jpeg DeviceLibrary)
set(_hl_vendor_missing FALSE)
while(_hl_vendor_libs)
  list(POP_FRONT _hl_vendor_libs seam lib)
  find_library(HEATLUME_VENDOR_${lib} NAMES ${lib} PATHS ${_hl_vendor_dirs}
               NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(HEATLUME_VENDOR_${lib})
    add_library(vendor::${lib} SHARED IMPORTED GLOBAL)
    set_target_properties(vendor::${lib} PROPERTIES IMPORTED_LOCATION "${HEATLUME_VENDOR_${lib}}"
                                                    IMPORTED_NO_SONAME FALSE)
    message(STATUS "Vendor ${seam} library: ${HEATLUME_VENDOR_${lib}}")
  else()
    # One undecorated line per library, so a list of what is missing reads as one.
    message(NOTICE "heatlume: lib${lib}.so (for platform/${seam}) not found in "
                   "${HEATLUME_VENDOR_SYSROOT}/{usr/lib,lib,usr/local/lib,oem/usr/lib}")
    set(_hl_vendor_missing TRUE)
  endif()
endwhile()
if(_hl_vendor_missing)
  message(FATAL_ERROR "HEATLUME_VENDOR_LIBS: the libraries above are missing")
endif()
