; GIMP 3 batch: (varnocketile-select-file IN OUT METHOD RADIUS) loads the picture file IN, selects
; its edges with plug-in-varnocketile-select (METHOD: "traditional", "skinny", "smoother", "fine"
; or "variable", as varno's -m; RADIUS 1..3) and writes the image's selection to OUT as an 8-bit
; grey PNG of the selection's own values.
;
; GIMP 3 keeps a selection as linear values, and a linear picture is exported converted to
; gamma-encoded values: so the selection is exported as raw 8-bit samples (into GIMP's temporary
; folder), which come back as a grey picture holding those very values.
(define (varnocketile-select-file in out method radius)
  (let* ((image (car (gimp-file-load RUN-NONINTERACTIVE in)))
         (drawable (vector-ref (car (gimp-image-get-selected-drawables image)) 0))
         (width (car (gimp-image-get-width image)))
         (height (car (gimp-image-get-height image)))
         (mask (car (gimp-image-new-with-precision width height GRAY PRECISION-U8-LINEAR)))
         (raw (car (gimp-temp-file "raw"))))
    (plug-in-varnocketile-select #:run-mode RUN-NONINTERACTIVE #:image image #:drawables (vector drawable)
                                 #:method method #:radius radius)
    (gimp-image-insert-layer mask (car (gimp-layer-new-from-drawable (car (gimp-image-get-selection image)) mask)) 0 0)
    (file-raw-export #:run-mode RUN-NONINTERACTIVE #:image mask #:file raw)
    (let ((grey (car (file-raw-load #:run-mode RUN-NONINTERACTIVE #:file raw #:width width #:height height
                                    #:pixel-format "grayscale-8bpp"))))
      (gimp-file-save RUN-NONINTERACTIVE grey out)
      (gimp-image-delete grey))
    (gimp-image-delete mask)
    (gimp-image-delete image)))
