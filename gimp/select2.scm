; GIMP 2.10 batch: (varnocketile-select-file IN OUT METHOD RADIUS) loads the picture file IN, selects
; its edges with plug-in-varnocketile-select (METHOD 3..7, RADIUS 1..3) and writes the image's
; selection to OUT as an 8-bit grey PNG of the selection's own values.
(define (varnocketile-select-file in out method radius)
  (let* ((image (car (gimp-file-load RUN-NONINTERACTIVE in in)))
         (grey (car (gimp-image-new-with-precision (car (gimp-image-width image)) (car (gimp-image-height image)) GRAY
                                                  PRECISION-U8-LINEAR))))
    (plug-in-varnocketile-select RUN-NONINTERACTIVE image (car (gimp-image-get-active-drawable image)) method radius)
    (let ((layer (car (gimp-layer-new-from-drawable (car (gimp-image-get-selection image)) grey))))
      (gimp-image-insert-layer grey layer 0 0)
      (file-png-save2 RUN-NONINTERACTIVE grey layer out out 0 9 0 0 0 0 0 0 0))
    (gimp-image-delete grey)
    (gimp-image-delete image)))
