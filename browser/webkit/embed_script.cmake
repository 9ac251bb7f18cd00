# Writes the bridge script into a C++ source as one string:
# cmake -DINPUT=bridge.js -DTEMPLATE=bridge_script.cpp.in -DOUTPUT=bridge_script.cpp -P embed_script.cmake
file(READ ${INPUT} BREVANE_BRIDGE_SCRIPT)
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
