; For GIMP 3, loaded after batch.scm: the helpers whose calls GIMP 3 changed, under the same names,
; so that the same cases run in both GIMPs. The selection is dumped through a grey image of the
; mask's own samples (GIMP 3 keeps every image's selection mask linear, at the image's bit depth),
; exported with file-raw-export.

(define PRECISION-U16-GAMMA PRECISION-U16-NON-LINEAR)
(define PRECISION-U32-GAMMA PRECISION-U32-NON-LINEAR)
(define PRECISION-DOUBLE-GAMMA PRECISION-DOUBLE-NON-LINEAR)

(define (vt-load path)
  (car (gimp-file-load RUN-NONINTERACTIVE path)))

(define (vt-drawable image)
  (vector-ref (car (gimp-image-get-selected-drawables image)) 0))

(define (vt-dump image out)
  (let* ((precision (car (gimp-image-get-precision image)))
         (dump (car (gimp-image-new-with-precision (car (gimp-image-get-width image)) (car (gimp-image-get-height image))
                                                   GRAY (- precision (modulo precision 100)))))
         (layer (car (gimp-layer-new-from-drawable (car (gimp-image-get-selection image)) dump))))
    (gimp-image-insert-layer dump layer 0 0)
    (file-raw-export #:run-mode RUN-NONINTERACTIVE #:image dump #:file out)
    (gimp-image-delete dump)))

; Methods by number, as the 2.10 procedure takes them; other numbers pass as they are, to be refused.
(define (vt-method method)
  (let ((names '((3 . "traditional") (4 . "skinny") (5 . "smoother") (6 . "fine") (7 . "variable"))))
    (if (assv method names) (cdr (assv method names)) (number->string method))))

(define (vt-select image method radius out)
  (plug-in-varnocketile-select #:run-mode RUN-NONINTERACTIVE #:image image #:drawables (vector (vt-drawable image))
                               #:method (vt-method method) #:radius radius)
  (vt-dump image out))

(define (vt-last image out)
  (plug-in-varnocketile-select #:run-mode RUN-WITH-LAST-VALS #:image image #:drawables (vector (vt-drawable image)))
  (vt-dump image out))

(define (vt-interactive image out)
  (plug-in-varnocketile-select #:run-mode RUN-INTERACTIVE #:image image #:drawables (vector (vt-drawable image)))
  (vt-dump image out))
