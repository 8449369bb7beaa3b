// The score file on the browser's IndexedDB storage (IDBFS): read into /persist before the
// game starts, and written back whenever the game has closed or moved a file there. The
// game keeps its usual name for it, ./assets/scores.txt, a link into /persist: mounted over
// ./assets, the storage would hide the files the bundle puts there.
Module.preRun = Module.preRun || [];
Module.preRun.push(function() {
  var persist = '/persist';
  FS.mkdir(persist);
  FS.mount(IDBFS, {}, persist);
  addRunDependency('orbelune-scores');
  FS.syncfs(true, function(error) {
    if (error) err('The scores kept in this browser could not be read: ' + error);
    FS.mkdirTree('/assets');
    FS.symlink(persist + '/scores.txt', '/assets/scores.txt');
    removeRunDependency('orbelune-scores');
  });

  // One write-back after the game's save has finished (a save writes a temporary file,
  // then moves it over the old one): IDBFS writes all changes in one IndexedDB transaction,
  // so the storage holds the old table or the new one, never half of either.
  var writing = false, again = false;
  function writeBack() {
    if (writing) { again = true; return; }
    writing = true;
    FS.syncfs(false, function(error) {
      writing = false;
      if (error) err('The scores could not be kept in this browser: ' + error);
      if (again) { again = false; writeBack(); }
      if (Module.orbeluneSaved) Module.orbeluneSaved(error);
    });
  }
  var scheduled = false;
  function writeBackSoon() {
    if (scheduled) return;
    scheduled = true;
    setTimeout(function() { scheduled = false; writeBack(); }, 0);
  }
  function underPersist(path) {
    return typeof path === 'string' && path.indexOf(persist + '/') === 0;
  }
  var close = FS.close, rename = FS.rename, unlink = FS.unlink;
  FS.close = function(stream) {
    var result = close.apply(this, arguments);
    if (underPersist(stream.path) && (stream.flags & 3 /* O_WRONLY | O_RDWR */)) writeBackSoon();
    return result;
  };
  FS.rename = function(oldPath, newPath) {
    var result = rename.apply(this, arguments);
    if (underPersist(oldPath) || underPersist(newPath)) writeBackSoon();
    return result;
  };
  FS.unlink = function(path) {
    var result = unlink.apply(this, arguments);
    if (underPersist(path)) writeBackSoon();
    return result;
  };
});
