; Script-Fu helpers of the GIMP tests. A case prepares an image, runs the plug-in and dumps the
; image's selection with file-raw-save: the selection mask's own samples, row after row (8-bit,
; 16-bit or float by the image's precision), so that nothing converts them on the way out.

(define (vt-load path)
  (car (gimp-file-load RUN-NONINTERACTIVE path path)))

(define (vt-drawable image)
  (car (gimp-image-get-active-drawable image)))

(define (vt-dump image out)
  (file-raw-save RUN-NONINTERACTIVE image (car (gimp-image-get-selection image)) out out))

(define (vt-select image method radius out)
  (plug-in-varnocketile-select RUN-NONINTERACTIVE image (vt-drawable image) method radius)
  (vt-dump image out))

(define (vt-last image out)
  (plug-in-varnocketile-select RUN-WITH-LAST-VALS image (vt-drawable image) 0 0)
  (vt-dump image out))

(define (vt-interactive image out)
  (plug-in-varnocketile-select RUN-INTERACTIVE image (vt-drawable image) 0 0)
  (vt-dump image out))

; Every method with every radius on one image, each run without a current selection.
(define (vt-all image stem)
  (let loop ((method 3) (radius 1))
    (if (<= method 7)
        (begin
          (gimp-selection-none image)
          (vt-select image method radius
                     (string-append stem "-" (number->string method) "-" (number->string radius) ".raw"))
          (if (< radius 3) (loop method (+ radius 1)) (loop (+ method 1) 1))))))

; A soft elliptical selection, dumped before the run as the selection the case starts from.
(define (vt-ellipse image x y width height out)
  (gimp-context-set-feather TRUE)
  (gimp-context-set-feather-radius 24 24)
  (gimp-image-select-ellipse image CHANNEL-OP-REPLACE x y width height)
  (gimp-context-set-feather FALSE)
  (vt-dump image out))

; A canvas of its own size with the picture as its one layer at (x, y).
(define (vt-layered path width height x y)
  (let* ((image (car (gimp-image-new width height RGB)))
         (layer (car (gimp-file-load-layer RUN-NONINTERACTIVE image path))))
    (gimp-image-insert-layer image layer 0 0)
    (gimp-layer-set-offsets layer x y)
    image))

; Alpha that varies over the picture (its own grey copy as the layer's mask, applied), leaving
; the colours as they were.
(define (vt-vary-alpha image)
  (let* ((layer (vt-drawable image)))
    (gimp-layer-add-alpha layer)
    (gimp-layer-add-mask layer (car (gimp-layer-create-mask layer ADD-MASK-COPY)))
    (gimp-layer-remove-mask layer MASK-APPLY)))

; Runs a case; a failure is reported and the next case goes on (its missing dump fails the test).
(define (vt-case name thunk)
  (if (not (catch #f (thunk) #t))
      (gimp-message (string-append "case failed: " name))))
