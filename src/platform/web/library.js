// GL and GLFW calls the game makes that Emscripten's WebGL 2 and GLFW leave out, done the
// way a browser can.
mergeInto(LibraryManager.library, {
  // Wireframe needs WEBGL_polygon_mode, which not every browser has; without it the picture
  // stays filled and the console says so once.
  glPolygonMode__deps: ['$GL'],
  glPolygonMode: function(face, mode) {
    var gl = GLctx;
    if (gl.orbelunePolygonMode === undefined)
      gl.orbelunePolygonMode = gl.getExtension('WEBGL_polygon_mode');
    var extension = gl.orbelunePolygonMode;
    if (extension) {
      extension.polygonModeWEBGL(face, mode);
    } else if (mode == 0x1B01 /* GL_LINE */ && !gl.orbeluneToldNoWireframe) {
      gl.orbeluneToldNoWireframe = true;
      if (Module.orbeluneShow) Module.orbeluneShow('Wireframe is not available in this browser.\n');
      else out('Wireframe is not available in this browser.');
    }
  },
  // A page cannot take the screen on its own (the browser allows it only from a click), so
  // the game asking for it leaves the canvas where it is and has the page take the screen at
  // the player's next click or key.
  glfwSetWindowMonitor: function(window, monitor, x, y, width, height, refreshRate) {
    if (monitor && Module.orbeluneFullScreenAsked) Module.orbeluneFullScreenAsked();
  },

  // Emscripten's GLFW has no gamepad API. The browser's standard layout is the one GLFW's
  // built-in mappings give, so this fills GLFW's six axes and fifteen buttons the way the
  // desktop reads them. Polled, never announced: a pad plugged in or out is simply there or
  // not at the next frame. Returns 0 when `joystick` holds no standard-layout pad.
  orbeluneGamepadState: function(joystick, axes, buttons) {
    var pads = navigator.getGamepads ? navigator.getGamepads() : [];
    var pad = pads && pads[joystick];
    if (!pad || !pad.connected || pad.mapping !== 'standard') return 0;
    // GLFW's button order (A B X Y, shoulders, back, start, guide, sticks, d-pad up right
    // down left) from the standard layout's indices.
    var fromStandard = [0, 1, 2, 3, 4, 5, 8, 9, 16, 10, 11, 12, 15, 13, 14];
    for (var i = 0; i < fromStandard.length; ++i) {
      var button = pad.buttons[fromStandard[i]];
      HEAPU8[buttons + i] = button && button.pressed ? 1 : 0;
    }
    // The standard layout's triggers are buttons 6 and 7, 0..1; GLFW's are axes resting at -1.
    var trigger = function(index) {
      var button = pad.buttons[index];
      return button ? button.value * 2 - 1 : -1;
    };
    var values = [pad.axes[0] || 0, pad.axes[1] || 0, pad.axes[2] || 0, pad.axes[3] || 0, trigger(6), trigger(7)];
    for (var axis = 0; axis < values.length; ++axis) HEAPF32[(axes >> 2) + axis] = values[axis];
    return 1;
  },
});
